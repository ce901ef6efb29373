#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "repair/disk_file.h"
#include "repair/path_resolver.h"
#include "repair/unique_fd.h"

namespace plindor::repair {

namespace {

Status Errno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return Status(std::strerror(error), Status::Kind::kDenied);
    case EWOULDBLOCK:
      return Status(std::strerror(error), Status::Kind::kHeld);
    default:
      return Status(std::strerror(error));
  }
}
Status LastError() { return Errno(errno); }

// File systems whose files are the kernel's interfaces, not data on a disk: writing there
// changes the system, not a file.
bool IsPseudoFileSystem(unsigned long type) {
  switch (type) {
    case 0x9fa0:      // proc
    case 0x62656572:  // sysfs
    case 0x64626720:  // debugfs
    case 0x74726163:  // tracefs
    case 0x73636673:  // securityfs
    case 0x27e0eb:    // cgroup
    case 0x63677270:  // cgroup2
    case 0x62656570:  // configfs
    case 0x6165676c:  // pstore
    case 0xcafe4a11:  // bpf
    case 0xde5e81e4:  // efivarfs
    case 0x1cd1:      // devpts
    case 0x42494e4d:  // binfmt_misc
    case 0xf97cff8c:  // selinuxfs
    case 0x65735543:  // fusectl
      return true;
    default:
      return false;
  }
}

// Local disk file systems whose syncfs puts every file and name on the disk; elsewhere (FUSE,
// network file systems) it may reach nothing, and each file is flushed on its own.
bool SyncfsReachesTheDisk(unsigned long type) {
  switch (type) {
    case 0xef53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683e:  // btrfs
    case 0xf2f52010:  // f2fs
    case 0x01021994:  // tmpfs: nothing to reach
    case 0x3153464a:  // jfs
    case 0xca451a4e:  // bcachefs
      return true;
    default:
      return false;
  }
}

bool CopiesOnWrite(unsigned long type) {
  return type == 0x9123683e /* btrfs */ || type == 0x2fc12fc1 /* zfs */ ||
         type == 0xca451a4e /* bcachefs */;
}

unsigned long FileSystemType(int fd) {
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) return 0;
  return static_cast<unsigned long>(info.f_type);
}

// Large writes go in slices, each handed to the disk as soon as it is written, so that the
// flush which follows finds most of the work done.
constexpr std::size_t kSlice = std::size_t{8} << 20;

Status WriteAll(int fd, std::uint64_t offset, std::string_view data) {
  std::size_t done = 0;
  std::size_t started = 0;  // bytes whose writeback has been started
  while (done < data.size()) {
    if (done - started >= kSlice) {
      (void)::sync_file_range(fd, static_cast<off_t>(offset + started),
                              static_cast<off_t>(done - started), SYNC_FILE_RANGE_WRITE);
      started = done;
    }
    const std::size_t chunk = std::min(data.size() - done, kSlice);
    const ssize_t n = ::pwrite(fd, data.data() + done, chunk, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) return Errno(EIO);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

Status ReadToEnd(int fd, std::string& out) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return LastError();
  const auto expected = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
  // The one byte more than expected is where the end shows.
  out.resize(static_cast<std::size_t>(expected) + 1);
  std::size_t size = 0;
  while (true) {
    if (size == out.size()) out.resize(size * 2);
    const ssize_t n = ::pread(fd, out.data() + size, out.size() - size, static_cast<off_t>(size));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  out.resize(size);
  return {};
}

Status Sync(int fd, bool whole_file_system) {
  if (whole_file_system ? ::syncfs(fd) : ::fdatasync(fd)) return LastError();
  return {};
}

}  // namespace

struct DiskFile::Handles {
  UniqueFd folder;
  UniqueFd file;
  UniqueFd backup;
  bool backup_named = false;  // whether the backup handle has a name in the folder
  std::string name;
  std::string location;
  std::string backup_name;
  struct stat file_info {};
};

DiskFile::DiskFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
DiskFile::DiskFile(DiskFile&& other) noexcept = default;
DiskFile& DiskFile::operator=(DiskFile&& other) noexcept = default;
DiskFile::~DiskFile() = default;

Status DiskFile::Open(const std::string& base, const std::string& path, Access access,
                      std::optional<DiskFile>& out) {
  // The system would stop reading the name at a NUL byte and open some other file.
  if (path.find('\0') != std::string::npos) return Status("the name contains a NUL character");
  auto handles = std::make_unique<Handles>();
  ResolvedPath where;
  if (Status status = ResolvePath(base, path, where); !status.ok()) return status;
  handles->folder = std::move(where.folder);
  handles->name = std::move(where.name);
  handles->location = std::move(where.location);
  handles->backup_name = handles->name + kBackupSuffix;

  // A handle that only names the file: opening it has no effect on a device or a FIFO.
  const UniqueFd named(::openat(handles->folder.get(), handles->name.c_str(), O_PATH | O_CLOEXEC));
  if (!named) return LastError();
  struct stat info {};
  if (::fstat(named.get(), &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return Errno(EISDIR);
  if (!S_ISREG(info.st_mode)) return Status("not a regular file");
  // Reading the kernel's files does no harm; writing them changes the system.
  if (access == Access::kReadWrite && IsPseudoFileSystem(FileSystemType(named.get()))) {
    return Status("not a file on a disk", Status::Kind::kDenied);
  }

  // That very file, whatever its name leads to by now.
  const std::string self = "/proc/self/fd/" + std::to_string(named.get());
  const int flags = (access == Access::kRead ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY;
  handles->file = UniqueFd(::open(self.c_str(), flags));
  if (!handles->file) return LastError();
  if (::fstat(handles->file.get(), &handles->file_info) != 0) return LastError();
  if (handles->file_info.st_dev != info.st_dev || handles->file_info.st_ino != info.st_ino) {
    return Status("another program replaced it while it was opened");
  }
  out.emplace(DiskFile(std::move(handles)));
  return {};
}

Status DiskFile::TryLock() {
  while (::flock(handles_->file.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    // Where the file system has no locks, there is nothing to take.
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return {};
    return LastError();
  }
  return {};
}

Status DiskFile::ReadAll(std::string& out) { return ReadToEnd(handles_->file.get(), out); }

Status DiskFile::Stamp(FileStamp& out) {
  struct stat info {};
  if (::fstat(handles_->file.get(), &info) != 0) return LastError();
  out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
         static_cast<std::uint64_t>(info.st_size),
         std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec};
  return {};
}

Status DiskFile::StampAtName(FileStamp& out) {
  struct stat info {};
  if (::fstatat(handles_->folder.get(), handles_->name.c_str(), &info, 0) != 0) {
    return LastError();
  }
  out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), 0, 0};
  return {};
}

Status DiskFile::WriteAt(std::uint64_t offset, std::string_view data) {
  return WriteAll(handles_->file.get(), offset, data);
}

Status DiskFile::Reserve(std::uint64_t size) {
  struct stat info {};
  if (::fstat(handles_->file.get(), &info) != 0) return LastError();
  const auto current = static_cast<std::uint64_t>(info.st_size);
  if (size <= current) return {};
  // The system call itself, keeping the length: the C library's stand-in writes zeros where
  // readers would see them.
  if (::fallocate(handles_->file.get(), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(current),
                  static_cast<off_t>(size - current)) != 0) {
    if (errno == EOPNOTSUPP || errno == ENOSYS) return {};
    return LastError();
  }
  return {};
}

Status DiskFile::Truncate(std::uint64_t size) {
  while (::ftruncate(handles_->file.get(), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return LastError();
  }
  return {};
}

Status DiskFile::Flush() { return Sync(handles_->file.get(), false); }

Status DiskFile::Volume(VolumeFacts& out) {
  struct statfs info {};
  if (::fstatfs(handles_->file.get(), &info) != 0) return LastError();
  out.copies_on_write = CopiesOnWrite(static_cast<unsigned long>(info.f_type));
  out.free_bytes =
      static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_bsize);
  return {};
}

std::uint64_t DiskFile::PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page);
}

const std::string& DiskFile::location() const { return handles_->location; }

std::string DiskFile::target_name() const {
  char target[4096];
  const std::string self = "/proc/self/fd/" + std::to_string(handles_->file.get());
  const ssize_t n = ::readlink(self.c_str(), target, sizeof target);
  if (n <= 0) return handles_->name;
  const std::string_view path(target, static_cast<std::size_t>(n));
  return std::string(path.substr(path.find_last_of('/') + 1));
}
const std::string& DiskFile::backup_name() const { return handles_->backup_name; }

Status DiskFile::CreateBackup() {
  const int folder = handles_->folder.get();
  // Nameless until it is whole, so that a kill never leaves half a backup under its name.
  UniqueFd backup(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  const bool named = !backup;
  if (named) {
    backup = UniqueFd(::openat(folder, handles_->backup_name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  }
  if (!backup) return LastError();
  // Its owner can deal with it; no one else can read what the file held.
  if (::geteuid() == 0 &&
      ::fchown(backup.get(), handles_->file_info.st_uid, handles_->file_info.st_gid) != 0) {
    const Status status = LastError();
    if (named) (void)::unlinkat(folder, handles_->backup_name.c_str(), 0);
    return status;
  }
  handles_->backup = std::move(backup);
  handles_->backup_named = named;
  return {};
}

Status DiskFile::WriteBackupAt(std::uint64_t offset, std::string_view data) {
  return WriteAll(handles_->backup.get(), offset, data);
}

Status DiskFile::PublishBackup() {
  if (handles_->backup_named) return {};
  const std::string self = "/proc/self/fd/" + std::to_string(handles_->backup.get());
  if (::linkat(AT_FDCWD, self.c_str(), handles_->folder.get(), handles_->backup_name.c_str(),
               AT_SYMLINK_FOLLOW) != 0) {
    return LastError();
  }
  handles_->backup_named = true;
  return {};
}

Status DiskFile::FlushBackup() {
  if (Status status = Sync(handles_->backup.get(), false); !status.ok()) return status;
  // The backup's name must survive a power cut as surely as its bytes. A folder opened only
  // for finding names can't be flushed (EBADF); its file system orders the entry anyway.
  if (::fsync(handles_->folder.get()) != 0 && errno != EBADF && errno != EINVAL) {
    return LastError();
  }
  return {};
}

Status DiskFile::FlushTogether(std::span<DiskFile* const> files) {
  // One flush of each file system that holds a file, a backup or a backup's name, where that
  // is known to reach the disk; each file on its own elsewhere.
  std::vector<dev_t> flushed;
  const auto flush_volume = [&](int fd, dev_t device) -> std::optional<Status> {
    if (std::ranges::find(flushed, device) != flushed.end()) return Status();
    if (!SyncfsReachesTheDisk(FileSystemType(fd))) return std::nullopt;
    flushed.push_back(device);
    return Sync(fd, true);
  };
  for (DiskFile* file : files) {
    Handles& h = *file->handles_;
    std::optional<Status> status = flush_volume(h.file.get(), h.file_info.st_dev);
    if (!status) status = Sync(h.file.get(), false);
    if (!status->ok()) return *status;
    if (!h.backup) continue;
    // The backup lives in the file's folder, which may be on another file system.
    struct stat backup {};
    if (::fstat(h.backup.get(), &backup) != 0) return LastError();
    status = flush_volume(h.backup.get(), backup.st_dev);
    if (!status) status = file->FlushBackup();
    if (!status->ok()) return *status;
  }
  return {};
}

Status DiskFile::ReadBackup(std::optional<FoundBackup>& out) {
  out.reset();
  const UniqueFd backup(::openat(handles_->folder.get(), handles_->backup_name.c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!backup) {
    if (errno == ENOENT) return {};
    // A symbolic link under the backup's name is refused as what it is, unread.
    if (errno != ELOOP) return LastError();
    out.emplace();
    return {};
  }
  struct stat info {};
  if (::fstat(backup.get(), &info) != 0) return LastError();
  FoundBackup found;
  found.size = static_cast<std::uint64_t>(info.st_size);
  found.regular = S_ISREG(info.st_mode);
  found.links = info.st_nlink;
  found.owner_trusted = info.st_uid == handles_->file_info.st_uid || info.st_uid == ::geteuid();
  found.others_may_write = (info.st_mode & 022) != 0;
  if (found.regular && found.size <= MemoryLimit()) {
    if (Status status = ReadToEnd(backup.get(), found.bytes); !status.ok()) return status;
  }
  out = std::move(found);
  return {};
}

Status DiskFile::RemoveBackup() {
  const bool unnamed = handles_->backup && !handles_->backup_named;
  handles_->backup.Reset();
  handles_->backup_named = false;
  if (unnamed) return {};
  if (::unlinkat(handles_->folder.get(), handles_->backup_name.c_str(), 0) != 0 &&
      errno != ENOENT) {
    return LastError();
  }
  return {};
}

}  // namespace plindor::repair
