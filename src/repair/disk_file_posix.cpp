#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

#include "repair/disk_file.h"
#include "repair/path_resolver.h"
#include "repair/unique_handle.h"

namespace plindor::repair {

namespace {

Status Errno(int error) {
  using enum Status::Kind;
  const bool denied = error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
  return Status(std::strerror(error), denied ? kDenied : error == EWOULDBLOCK ? kHeld : kFailed);
}
Status LastError() { return Errno(errno); }

// File systems whose files are the kernel's interfaces, not data on a disk: writing there
// changes the system, not a file. In order: proc, sysfs, debugfs, tracefs, securityfs, cgroup,
// cgroup2, configfs, pstore, bpf, efivarfs, devpts, binfmt_misc, selinuxfs, fusectl.
bool IsPseudoFileSystem(std::uint64_t type) {
  constexpr std::uint64_t kPseudo[] = {0x9fa0,     0x62656572, 0x64626720, 0x74726163, 0x73636673,
                                       0x27e0eb,   0x63677270, 0x62656570, 0x6165676c, 0xcafe4a11,
                                       0xde5e81e4, 0x1cd1,     0x42494e4d, 0xf97cff8c, 0x65735543};
  return std::ranges::find(kPseudo, type) != std::end(kPseudo);
}

std::string Self(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Opens, with `flags`, the very file the name-only handle `named` is open on, whatever its name
// leads to by now. There is no system call for that but the process's own view in /proc.
Status Reopen(const UniqueFd& named, int flags, UniqueFd& out) {
  out = UniqueFd(::open(Self(named.get()).c_str(), flags | O_CLOEXEC | O_NOCTTY));
  if (out) return {};
  if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
    return Status("/proc is not mounted, and this program needs it to open files safely");
  }
  return LastError();
}

Status Facts(int fd, struct stat& out) { return ::fstat(fd, &out) == 0 ? Status() : LastError(); }

// Locks are optional on some file systems: where they have none, there is nothing to take.
bool NoLocksHere(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL; }

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

  int Of(Part part) const {
    return part == Part::kFile ? file.get() : part == Part::kBackup ? backup.get() : folder.get();
  }
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
  if (Status status = Facts(named.get(), info); !status.ok()) return status;
  if (S_ISDIR(info.st_mode)) return Errno(EISDIR);
  if (!S_ISREG(info.st_mode)) return Status("not a regular file");
  const bool writing = access == Access::kReadWrite;
  // Reading the kernel's files does no harm; writing them changes the system.
  struct statfs volume {};
  if (writing && ::fstatfs(named.get(), &volume) == 0 &&
      IsPseudoFileSystem(static_cast<std::uint64_t>(volume.f_type))) {
    return Status("not a file on a disk", Status::Kind::kDenied);
  }
  // Root may write anything; a file its owner may not write is not to be changed all the same,
  // as source control marks the files it has not handed out.
  if (writing && (info.st_mode & S_IWUSR) == 0) {
    // Unless it can't even be read, which says more.
    const Status reading = Reopen(named, O_RDONLY, handles->file);
    return reading.ok() ? Status("it is read-only", Status::Kind::kReadOnly) : reading;
  }

  if (Status status = Reopen(named, writing ? O_RDWR : O_RDONLY, handles->file); !status.ok()) {
    return status;
  }
  if (Status status = Facts(handles->file.get(), handles->file_info); !status.ok()) return status;
  if (handles->file_info.st_dev != info.st_dev || handles->file_info.st_ino != info.st_ino) {
    return Status("another program replaced it while it was opened");
  }
  out.emplace(DiskFile(std::move(handles)));
  return {};
}

Status DiskFile::TryLock() {
  const int fd = handles_->file.get();
  // Programs lock with either call, and neither sees the other's locks.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && !NoLocksHere(errno)) return LastError();
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &whole) != 0 && !NoLocksHere(errno)) {
    return errno == EACCES ? Errno(EWOULDBLOCK) : LastError();
  }
  return {};
}

Status DiskFile::Hold() {
  const int fd = handles_->file.get();
  // A lease's break is signalled to its holder, by default with SIGIO, which would end the
  // program: SIGURG is ignored unless asked for.
  return ::fcntl(fd, F_SETSIG, SIGURG) == 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? Status()
                                                                                     : LastError();
}

void DiskFile::Release() { (void)::fcntl(handles_->file.get(), F_SETLEASE, F_UNLCK); }

// The system breaks a lease that keeps another program waiting too long.
bool DiskFile::HoldKeepsWritersOut() { return false; }

Status DiskFile::ReadSome(Part part, std::uint64_t offset, std::span<char> into, std::size_t& got) {
  if (handles_->Of(part) < 0) return Errno(EACCES);  // a backup it could not open
  ssize_t n;
  while ((n = ::pread(handles_->Of(part), into.data(), into.size(), static_cast<off_t>(offset))) <
             0 &&
         errno == EINTR) {
  }
  if (n < 0) return LastError();
  got = static_cast<std::size_t>(n);
  return {};
}

Status DiskFile::WriteSome(Part part, std::uint64_t offset, std::string_view data,
                           std::size_t& put) {
  ssize_t n;
  while ((n = ::pwrite(handles_->Of(part), data.data(), data.size(), static_cast<off_t>(offset))) <
             0 &&
         errno == EINTR) {
  }
  if (n < 0) return LastError();
  if (n == 0) return Errno(EIO);
  put = static_cast<std::size_t>(n);
  return {};
}

void DiskFile::StartWriteback(Part part, std::uint64_t offset, std::uint64_t length) {
  (void)::sync_file_range(handles_->Of(part), static_cast<off_t>(offset),
                          static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

Status DiskFile::Allocate(std::uint64_t from, std::uint64_t to) {
  // The system call itself, keeping the length: the C library's stand-in writes zeros where
  // readers would see them.
  if (::fallocate(handles_->file.get(), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
                  static_cast<off_t>(to - from)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS) {
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

Status DiskFile::Stamp(FileStamp& out, Part part) {
  struct stat info {};
  if (::fstat(handles_->Of(part), &info) != 0) return LastError();
  const auto nanoseconds = [](const timespec& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
  };
  out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
         static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
         nanoseconds(info.st_ctim)};
  return {};
}

Status DiskFile::StampAtName(FileStamp& out) {
  struct stat info {};
  if (::fstatat(handles_->folder.get(), handles_->name.c_str(), &info, 0) != 0) {
    return LastError();
  }
  out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return {};
}

Status DiskFile::Flush(Part part) {
  const int fd = handles_->Of(part);
  if (part != Part::kFolder) return ::fdatasync(fd) == 0 ? Status() : LastError();
  // A folder opened only for finding names can't be flushed (EBADF); its file system orders
  // the entry anyway.
  if (::fsync(fd) != 0 && errno != EBADF && errno != EINVAL) return LastError();
  return {};
}

Status DiskFile::FlushVolume(Part part) {
  return ::syncfs(handles_->Of(part)) == 0 ? Status() : LastError();
}

Status DiskFile::Volume(Part part, VolumeFacts& out) {
  struct statfs info {};
  if (::fstatfs(handles_->Of(part), &info) != 0) return LastError();
  out.type = static_cast<std::uint64_t>(info.f_type);
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
const std::string& DiskFile::name() const { return handles_->name; }

std::string DiskFile::target_name() const {
  char target[4096];
  const ssize_t n = ::readlink(Self(handles_->file.get()).c_str(), target, sizeof target);
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

Status DiskFile::PublishBackup() {
  if (handles_->backup_named) return {};
  if (::linkat(AT_FDCWD, Self(handles_->backup.get()).c_str(), handles_->folder.get(),
               handles_->backup_name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return LastError();
  }
  handles_->backup_named = true;
  return {};
}

Status DiskFile::OpenBackup(std::optional<FoundBackup>& out) {
  out.reset();
  handles_->backup.Reset();
  const UniqueFd named(::openat(handles_->folder.get(), handles_->backup_name.c_str(),
                                O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!named) return errno == ENOENT ? Status() : LastError();
  struct stat info {};
  if (Status status = Facts(named.get(), info); !status.ok()) return status;
  // Only a regular file is opened for reading: opening a device can have effects of its own.
  if (S_ISREG(info.st_mode)) {
    // One this user may not read is judged all the same, and fails only if it is to be read.
    const Status opened = Reopen(named, O_RDONLY | O_NONBLOCK, handles_->backup);
    if (!opened.ok() && opened.kind() != Status::Kind::kDenied) return opened;
    handles_->backup_named = true;
    // Judged on the handle that will be read.
    if (opened.ok()) {
      if (Status status = Facts(handles_->backup.get(), info); !status.ok()) return status;
    }
  }
  out.emplace(FoundBackup{
      .size = static_cast<std::uint64_t>(info.st_size),
      .regular = S_ISREG(info.st_mode),
      .links = info.st_nlink,
      .owner_trusted = info.st_uid == handles_->file_info.st_uid || info.st_uid == ::geteuid(),
      .others_may_write = (info.st_mode & 022) != 0});
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
