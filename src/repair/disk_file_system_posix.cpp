#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/types.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "repair/disk_file_system.h"
#include "repair/path_resolver.h"
#include "repair/repair_error.h"
#include "repair/unique_fd.h"

namespace plindor::repair {

namespace {

// Every failure reads "<action> "<path as given>"[ <detail>]: <reason>".
[[noreturn]] void Fail(std::string_view action, const std::string& path, std::string_view detail,
                       std::string_view reason) {
  std::string message(action);
  message += " \"";
  // A NUL would end the message early wherever it is shown as a C string.
  for (const char c : path) {
    if (c == '\0') {
      message += "\\0";
    } else {
      message += c;
    }
  }
  message += '"';
  if (!detail.empty()) message.append(" ").append(detail);
  message.append(": ").append(reason);
  throw RepairError(message);
}

[[noreturn]] void Fail(std::string_view action, const std::string& path, std::string_view reason) {
  Fail(action, path, {}, reason);
}

[[noreturn]] void Fail(std::string_view action, const std::string& path, int error) {
  Fail(action, path, {}, std::strerror(error));
}

// Writes all of `data` at `offset`, through short writes and interruptions. Returns 0 or the
// errno of the failure, with `done` telling how far it got.
int WriteAllAt(int fd, std::string_view data, off_t offset, std::size_t& done) {
  done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// Reserves `capacity` bytes for `text`. A large buffer is asked to be backed by huge pages:
// filling a whole file's worth of fresh 4 KiB pages costs more in page faults than the copy.
void ReserveLarge(std::string& text, std::size_t capacity) {
  text.reserve(capacity);
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (capacity < 2 * kHuge) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + capacity) & ~(kHuge - 1);
  // Only a hint: where huge pages are off or the memory is not eligible, nothing changes.
  if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// Reads [offset, offset + size) or until the end of the file.
int ReadAllAt(int fd, off_t offset, std::size_t size, std::string& out) {
  ReserveLarge(out, size);
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd, out.data() + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return 0;
}

class ReadingStream final : public TextStream {
 public:
  ReadingStream(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  std::string ReadAll() override {
    RequireOpen();
    struct stat info {};
    std::size_t expected = 0;
    if (::fstat(fd_.get(), &info) == 0 && info.st_size > 0) {
      expected = static_cast<std::size_t>(info.st_size);
    }
    std::string text;
    // The slack lets the repair grow the text where it lies instead of copying it.
    ReserveLarge(text, expected + expected / 8 + 4096);
    // Read to the end rather than trusting the size: the file may change under us. The one
    // byte more than expected is where the end shows.
    text.resize(expected + 1);
    std::size_t size = 0;
    while (true) {
      if (size == text.size()) text.resize(size * 2);
      const ssize_t n = ::read(fd_.get(), text.data() + size, text.size() - size);
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail("cannot read", path_, errno);
      }
      if (n == 0) break;
      size += static_cast<std::size_t>(n);
    }
    text.resize(size);
    return text;
  }

  void Write(std::string_view) override {
    Fail("cannot write", path_, "the file is open for reading");
  }

  void Close() override {
    RequireOpen();
    if (::close(fd_.Release()) != 0 && errno != EINTR) Fail("cannot close", path_, errno);
  }

 private:
  void RequireOpen() const {
    if (!fd_) Fail("cannot use", path_, "the file is closed");
  }

  UniqueFd fd_;
  std::string path_;
};

// Rewrites a file in place. Each Write leaves the file holding exactly what the stream has
// written so far, or, when it fails, what it held before that Write.
class WritingStream final : public TextStream {
 public:
  WritingStream(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  std::string ReadAll() override { Fail("cannot read", path_, "the file is open for writing"); }

  void Write(std::string_view text) override {
    RequireOpen();
    const int fd = fd_.get();
    const off_t start = written_;
    const off_t old_size = CurrentSize();

    std::string original;
    if (old_size > start) {
      if (const int error =
              ReadAllAt(fd, start, static_cast<std::size_t>(old_size - start), original)) {
        Fail("cannot read", path_, error);
      }
    }

    if (!text.empty()) Reserve(start, text.size(), old_size);

    std::size_t done = 0;
    if (const int error = WriteAllAt(fd, text, start, done)) {
      Restore(original, start, old_size, error);
    }
    const off_t end = start + static_cast<off_t>(text.size());
    if (end < CurrentSize() && ::ftruncate(fd, end) != 0) {
      Restore(original, start, old_size, errno);
    }
    written_ = end;
  }

  void Close() override {
    RequireOpen();
    // A file opened for writing and closed without a Write ends up empty, as promised.
    if (written_ == 0 && CurrentSize() != 0 && ::ftruncate(fd_.get(), 0) != 0) {
      Fail("cannot write", path_, errno);
    }
    if (::close(fd_.Release()) != 0 && errno != EINTR) Fail("cannot close", path_, errno);
  }

 private:
  void RequireOpen() const {
    if (!fd_) Fail("cannot use", path_, "the file is closed");
  }

  off_t CurrentSize() const {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) Fail("cannot write", path_, errno);
    return info.st_size;
  }

  // Claims the disk space the write needs before any byte changes, so a full disk or a
  // file-size limit fails here with the content untouched.
  void Reserve(off_t start, std::size_t size, off_t old_size) {
    const int error = ::posix_fallocate(fd_.get(), start, static_cast<off_t>(size));
    if (error == 0 || error == EOPNOTSUPP || error == ENOSYS) return;
    // A reservation that failed partway may have made the file longer.
    if (CurrentSize() != old_size) (void)::ftruncate(fd_.get(), old_size);
    Fail("cannot write", path_, error);
  }

  // Puts back the bytes this Write overwrote and the old length, then reports `error`.
  [[noreturn]] void Restore(const std::string& original, off_t start, off_t old_size, int error) {
    std::size_t done = 0;
    int restore_error = WriteAllAt(fd_.get(), original, start, done);
    if (restore_error == 0 && ::ftruncate(fd_.get(), old_size) != 0) restore_error = errno;
    if (restore_error != 0) {
      Fail("cannot write", path_,
           std::string(std::strerror(error)) +
               "; putting its original content back failed too: " + std::strerror(restore_error));
    }
    Fail("cannot write", path_, error);
  }

  UniqueFd fd_;
  std::string path_;
  off_t written_ = 0;
};

}  // namespace

DiskFileSystem::DiskFileSystem() {
  // A file-size limit must fail the write with EFBIG, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
}

std::unique_ptr<TextStream> DiskFileSystem::OpenTextFile(const std::string& path, IoMode mode) {
  const std::string_view detail = mode == IoMode::kForReading ? "for reading" : "for writing";
  // The system would stop reading the name at a NUL byte and open some other file.
  if (path.find('\0') != std::string::npos) {
    Fail("cannot open", path, detail, "the name contains a NUL character");
  }
  std::string on_disk;
  try {
    on_disk = ResolvePath(path);
  } catch (const AmbiguousPathError& e) {
    Fail("cannot open", path, detail, e.what());
  }
  // Non-blocking so that a FIFO is refused below instead of waiting for a writer.
  const int access = mode == IoMode::kForReading ? O_RDONLY : O_RDWR;
  UniqueFd fd(::open(on_disk.c_str(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) Fail("cannot open", path, detail, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) Fail("cannot open", path, detail, std::strerror(errno));
  if (S_ISDIR(info.st_mode)) Fail("cannot open", path, detail, std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) Fail("cannot open", path, detail, "not a regular file");

  if (mode == IoMode::kForReading) return std::make_unique<ReadingStream>(std::move(fd), path);
  return std::make_unique<WritingStream>(std::move(fd), path);
}

}  // namespace plindor::repair
