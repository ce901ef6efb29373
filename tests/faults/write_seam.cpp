#include "write_seam.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>

extern "C" ssize_t __real_pwrite(int fd, const void* data, size_t size, off_t offset);

namespace plindor::testing {
namespace {

struct ArmedPlan {
  WritePlan plan;
  std::size_t written = 0;
};
std::optional<ArmedPlan> armed;

// Whether `fd` is open on a file called `name`.
bool IsFile(int fd, const std::string& name) {
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n <= 0) return false;
  const std::string_view path(target, static_cast<std::size_t>(n));
  return path.ends_with("/" + name);
}

}  // namespace

void Arm(const WritePlan& plan) { armed = ArmedPlan{plan, 0}; }
void Disarm() { armed.reset(); }

WriteFault::WriteFault(const WritePlan& plan) { Arm(plan); }
WriteFault::~WriteFault() { Disarm(); }

}  // namespace plindor::testing

extern "C" ssize_t __wrap_pwrite(int fd, const void* data, size_t size, off_t offset) {
  auto& armed = plindor::testing::armed;
  if (!armed || !plindor::testing::IsFile(fd, armed->plan.file)) {
    return __real_pwrite(fd, data, size, offset);
  }
  plindor::testing::WritePlan& plan = armed->plan;
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
  return n;
}
