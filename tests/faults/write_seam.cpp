#include "write_seam.h"

#include <sys/types.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" ssize_t __real_pwrite(int fd, const void* data, size_t size, off_t offset);

namespace plindor::testing {
namespace {

struct ArmedPlan {
  WritePlan plan;
  std::size_t written = 0;
};
std::optional<ArmedPlan> armed;

// Backups are written before they get a name: whether each unnamed file written is the backup
// of the plan's file, told by its header, which names the file, at its first write.
std::map<int, bool> backup_of_file;

bool IsBackupOf(int fd, const std::string& form, const void* data, size_t size, off_t offset) {
  if (offset == 0) {
    backup_of_file[fd] =
        std::string_view(static_cast<const char*>(data), size).find(form) != std::string::npos;
  }
  return backup_of_file[fd];
}

// Whether `fd` is open on a file called `name` (or, for a backup, on the one for that file).
bool IsFile(int fd, const std::string& name, const void* data, size_t size, off_t offset) {
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n <= 0) return false;
  const std::string_view path(target, static_cast<std::size_t>(n));
  constexpr std::string_view kSuffix = ".plindor-backup";
  const std::size_t unnamed = path.rfind("/#");
  if (name.ends_with(kSuffix) && unnamed != std::string_view::npos &&
      path.ends_with(" (deleted)")) {
    return IsBackupOf(fd, name.substr(0, name.size() - kSuffix.size()), data, size, offset);
  }
  return path.ends_with("/" + name);
}

std::string read_file;
std::function<void()> during_read;

// The flush that fails, counted from 1; 0 when no FlushFault is armed.
std::size_t flush_fails_at = 0;
std::size_t flushes = 0;
std::vector<FlushFault::Flushed> flushed_files;

}  // namespace

ReadFault::ReadFault(std::string file, std::function<void()> meanwhile) {
  read_file = std::move(file);
  during_read = std::move(meanwhile);
}
ReadFault::~ReadFault() { during_read = nullptr; }

// Runs the armed ReadFault's action if `fd` is its file.
void AfterRead(int fd) {
  if (during_read && IsFile(fd, read_file, nullptr, 0, 1)) std::exchange(during_read, nullptr)();
}

FlushFault::FlushFault(std::size_t fail_at) {
  flush_fails_at = fail_at;
  flushes = 0;
  flushed_files.clear();
}
FlushFault::~FlushFault() { flush_fails_at = 0; }
std::size_t FlushFault::calls() const { return flushes; }
const std::vector<FlushFault::Flushed>& FlushFault::flushed() const { return flushed_files; }

// Whether this flush, of `fd`'s file system, is the one that fails.
bool FlushFails(const char* call, int fd) {
  if (flush_fails_at == 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) == 0) flushed_files.push_back({call, info.st_dev, info.st_ino});
  return ++flushes == flush_fails_at;
}

void Arm(const WritePlan& plan) { armed = ArmedPlan{plan, 0}; }
void Disarm() { armed.reset(); }

WriteFault::WriteFault(const WritePlan& plan) { Arm(plan); }
WriteFault::~WriteFault() { Disarm(); }

}  // namespace plindor::testing

extern "C" ssize_t __wrap_pwrite(int fd, const void* data, size_t size, off_t offset) {
  auto& armed = plindor::testing::armed;
  if (!armed || !plindor::testing::IsFile(fd, armed->plan.file, data, size, offset)) {
    return __real_pwrite(fd, data, size, offset);
  }
  plindor::testing::WritePlan& plan = armed->plan;
  if (plan.meanwhile && !plan.after) std::exchange(plan.meanwhile, nullptr)(fd);
  if (plan.interruptions > 0) {
    --plan.interruptions;
    errno = EINTR;
    return -1;
  }
  std::size_t allowed = std::min(size, plan.max_chunk);
  if (plan.failures > 0) {
    if (armed->written >= plan.fail_after) {
      --plan.failures;
      errno = plan.error;
      return -1;
    }
    allowed = std::min(allowed, plan.fail_after - armed->written);
  }
  const ssize_t n = __real_pwrite(fd, data, allowed, offset);
  if (n > 0) armed->written += static_cast<std::size_t>(n);
  if (plan.meanwhile) std::exchange(plan.meanwhile, nullptr)(fd);
  return n;
}

extern "C" int __real_fsync(int fd);
extern "C" int __real_fdatasync(int fd);
extern "C" int __real_syncfs(int fd);

#define PLINDOR_FLUSH_WRAPPER(name)                \
  extern "C" int __wrap_##name(int fd) {           \
    if (plindor::testing::FlushFails(#name, fd)) { \
      errno = EIO;                                 \
      return -1;                                   \
    }                                              \
    return __real_##name(fd);                      \
  }
PLINDOR_FLUSH_WRAPPER(fsync)
PLINDOR_FLUSH_WRAPPER(fdatasync)
PLINDOR_FLUSH_WRAPPER(syncfs)

extern "C" ssize_t __real_pread(int fd, void* data, size_t size, off_t offset);
extern "C" ssize_t __wrap_pread(int fd, void* data, size_t size, off_t offset) {
  const ssize_t n = __real_pread(fd, data, size, offset);
  plindor::testing::AfterRead(fd);
  return n;
}
