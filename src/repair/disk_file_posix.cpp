#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "repair/disk_file.h"
#include "repair/path_resolver.h"
#include "repair/repair_error.h"
#include "repair/unique_fd.h"

namespace plindor::repair {

namespace {

constexpr char kBackupSuffix[] = ".plindor-backup";
// How long a run waits for another that holds the same file.
constexpr auto kLockPatience = std::chrono::seconds(60);

Status Errno(int error) { return Status(std::strerror(error)); }
Status LastError() { return Errno(errno); }

// File systems whose files are the kernel's interfaces, not data on a disk: writing there
// changes the system, not a file.
bool IsPseudoFileSystem(int fd) {
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) return false;
  switch (static_cast<unsigned long>(info.f_type)) {
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
  std::size_t expected = 0;
  if (::fstat(fd, &info) == 0 && info.st_size > 0)
    expected = static_cast<std::size_t>(info.st_size);
  out.clear();
  // The one byte more than expected is where the end shows.
  out.reserve(expected + 1);
  out.resize(expected + 1);
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

// Takes the run's exclusive lock on `fd`, waiting while another run holds it.
int Lock(int fd, bool wait) {
  const auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    // Where the file system has no locks, there is nothing to take.
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return 0;
    if (errno != EWOULDBLOCK || !wait) return errno;
    if (std::chrono::steady_clock::now() > give_up) return ETIMEDOUT;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return 0;
}

}  // namespace

struct DiskFile::Handles {
  UniqueFd folder;
  UniqueFd file;
  UniqueFd backup;
  std::string name;
  std::string location;
  std::string backup_name;
  struct stat file_info {};
};

DiskFile::DiskFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
DiskFile::DiskFile(DiskFile&& other) noexcept = default;
DiskFile& DiskFile::operator=(DiskFile&& other) noexcept = default;
DiskFile::~DiskFile() = default;

std::optional<DiskFile> DiskFile::Open(const std::string& base, const std::string& path,
                                       bool wait) {
  constexpr std::string_view kReading = "for reading";
  constexpr std::string_view kWriting = "for writing";
  const auto fail = [&](std::string_view mode, std::string_view reason) {
    FailOn("cannot open", path, mode, reason);
  };
  // The system would stop reading the name at a NUL byte and open some other file.
  if (path.find('\0') != std::string::npos) fail(kReading, "the name contains a NUL character");

  auto handles = std::make_unique<Handles>();
  ResolvedPath where;
  try {
    if (const int error = ResolvePath(base, path, where)) fail(kReading, std::strerror(error));
  } catch (const AmbiguousPathError& e) {
    fail(kReading, e.what());
  }
  handles->folder = std::move(where.folder);
  handles->name = std::move(where.name);
  handles->location = std::move(where.location);
  handles->backup_name = handles->name + kBackupSuffix;
  const int folder = handles->folder.get();
  const char* name = handles->name.c_str();

  // Opening alone has effects on some devices: look at the name's type first.
  struct stat info {};
  if (::fstatat(folder, name, &info, 0) != 0) fail(kReading, std::strerror(errno));
  if (S_ISDIR(info.st_mode)) fail(kReading, std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) fail(kReading, "not a regular file");

  // Non-blocking, so that a FIFO swapped in meanwhile is refused below instead of waiting.
  constexpr int kFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  handles->file = UniqueFd(::openat(folder, name, O_RDWR | kFlags));
  if (!handles->file) {
    const int error = errno;
    // Say whether it is the writing that is refused; a read-only file fails here.
    if (error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY) {
      const UniqueFd reading(::openat(folder, name, O_RDONLY | kFlags));
      if (reading) fail(kWriting, std::strerror(error));
      fail(kReading, std::strerror(errno));
    }
    fail(kReading, std::strerror(error));
  }
  const int fd = handles->file.get();
  if (::fstat(fd, &handles->file_info) != 0) fail(kReading, std::strerror(errno));
  if (!S_ISREG(handles->file_info.st_mode)) fail(kReading, "not a regular file");
  if (IsPseudoFileSystem(fd)) fail(kWriting, "not a file on a disk");
  if (const int error = Lock(fd, wait)) {
    if (error == EWOULDBLOCK) return std::nullopt;
    fail(kWriting, error == ETIMEDOUT ? "another program keeps it locked" : std::strerror(error));
  }
  return DiskFile(std::move(handles));
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
#ifdef __linux__
  struct stat info {};
  if (::fstat(handles_->file.get(), &info) != 0) return LastError();
  const auto current = static_cast<std::uint64_t>(info.st_size);
  if (size <= current) return {};
  // The system call itself: the C library's stand-in for file systems without it writes a
  // byte into every block, which is no reservation and writes where it must not.
  if (::fallocate(handles_->file.get(), 0, static_cast<off_t>(current),
                  static_cast<off_t>(size - current)) != 0) {
    if (errno == EOPNOTSUPP || errno == ENOSYS) return {};
    return LastError();
  }
#else
  (void)size;
#endif
  return {};
}

Status DiskFile::Truncate(std::uint64_t size) {
  while (::ftruncate(handles_->file.get(), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return LastError();
  }
  return {};
}

Status DiskFile::Flush() {
  if (::fdatasync(handles_->file.get()) != 0) return LastError();
  return {};
}

const std::string& DiskFile::location() const { return handles_->location; }
const std::string& DiskFile::backup_name() const { return handles_->backup_name; }

Status DiskFile::CreateBackup(std::span<const std::string_view> parts) {
  const int folder = handles_->folder.get();
  const char* name = handles_->backup_name.c_str();
  // As readable as the file itself, and its owner's, so that its owner can deal with it.
  const mode_t mode = handles_->file_info.st_mode & 0666;
  UniqueFd backup(
      ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!backup) return LastError();
  Status status;
  if (::geteuid() == 0 &&
      ::fchown(backup.get(), handles_->file_info.st_uid, handles_->file_info.st_gid) != 0) {
    status = LastError();
  }
  std::uint64_t offset = 0;
  for (const std::string_view part : parts) {
    if (!status.ok()) break;
    status = WriteAll(backup.get(), offset, part);
    offset += part.size();
  }
  if (!status.ok()) {
    (void)::unlinkat(folder, name, 0);
    return status;
  }
  handles_->backup = std::move(backup);
  return {};
}

Status DiskFile::FlushBackup() {
  if (::fdatasync(handles_->backup.get()) != 0) return LastError();
  // The backup's name must survive a power cut as surely as its bytes. A folder opened only
  // for finding names can't be flushed (EBADF); its file system orders the entry anyway.
  if (::fsync(handles_->folder.get()) != 0 && errno != EBADF && errno != EINVAL) {
    return LastError();
  }
  return {};
}

Status DiskFile::FlushTogether(std::span<DiskFile* const> files) {
  // One flush of each file system holding any of the files: their bytes, their backups' and
  // every folder entry at once.
  std::vector<std::pair<dev_t, int>> file_systems;
  for (DiskFile* file : files) {
    const dev_t device = file->handles_->file_info.st_dev;
    if (std::ranges::find(file_systems, device, &std::pair<dev_t, int>::first) ==
        file_systems.end()) {
      file_systems.emplace_back(device, file->handles_->file.get());
    }
  }
  for (const auto& [device, fd] : file_systems) {
    if (::syncfs(fd) != 0) return LastError();
  }
  return {};
}

Status DiskFile::ReadBackup(std::optional<std::string>& out) {
  out.reset();
  const UniqueFd backup(::openat(handles_->folder.get(), handles_->backup_name.c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!backup) return errno == ENOENT ? Status() : LastError();
  struct stat info {};
  if (::fstat(backup.get(), &info) != 0) return LastError();
  if (!S_ISREG(info.st_mode)) return Status("not a regular file");
  std::string bytes;
  if (Status status = ReadToEnd(backup.get(), bytes); !status.ok()) return status;
  out = std::move(bytes);
  return {};
}

Status DiskFile::RemoveBackup() {
  handles_->backup.Reset();
  if (::unlinkat(handles_->folder.get(), handles_->backup_name.c_str(), 0) != 0 &&
      errno != ENOENT) {
    return LastError();
  }
  return {};
}

}  // namespace plindor::repair
