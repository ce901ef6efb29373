// A full disk and a file-size limit met while a form grows.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "fault_scenario.h"
#include "repair/deferred_termination.h"
#include "repair/disk_file_system.h"
#include "temp_dir.h"
#include "write_seam.h"

namespace plindor::testing {
namespace {

// A tmpfs of the given size mounted for the object's lifetime.
class TmpfsMount final {
 public:
  TmpfsMount(const std::filesystem::path& where, const std::string& options) : where_(where) {
    std::filesystem::create_directories(where_);
    if (::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      error_ = std::strerror(errno);
    }
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  ~TmpfsMount() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path where_;
  bool mounted_ = false;
  std::string error_;
};

// Takes every free block of the file system `path` is on but `spare` pages.
void FillUp(const std::filesystem::path& path, std::uintmax_t spare) {
  {
    std::ofstream out(path, std::ios::binary);
    const std::string page(4096, 'f');
    while (out.write(page.data(), static_cast<std::streamsize>(page.size())) && out.flush()) {
    }
  }
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 4096 * 4096 - spare * 4096);
}

struct Room {
  const char* name;
  std::uintmax_t spare_pages;
  std::string message;
};

void PrintTo(const Room& row, std::ostream* out) { *out << row.name; }

class DiskFull : public ::testing::TestWithParam<Room> {};

// B takes seven pages and needs an eighth once repaired; its backup takes about seven. A, C
// and their backups take a page each, and grow within it. The backups of one batch exist
// together.
TEST_P(DiskFull, GrowingFormIsLeftAsItWas) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const TempDir dir;
  const TmpfsMount mount(dir.path() / "small", "size=128k");
  if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  ProjectScenario scenario(dir.path() / "small", 7 * 4096 - 100);
  FillUp(dir.path() / "small" / "filler", GetParam().spare_pages);
  repair::DiskFileSystem files;
  EXPECT_EQ(scenario.Run(files), "cannot write \"B.frm\": " + GetParam().message);
  scenario.Expect(Outcome::kOriginal, true);
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskFull,
    ::testing::Values(Room{"NoRoomForTheBackup", 1,
                           "cannot make its backup \"B.frm.plindor-backup\": No space left on "
                           "device"},
                      Room{"NoRoomToGrow", 9, "No space left on device"}),
    [](const ::testing::TestParamInfo<Room>& row) { return std::string(row.param.name); });

// A file system that copies what is overwritten must have room for the new bytes and for
// putting the old ones back before the first byte changes; a run that can't know goes on.
TEST(CopyOnWriteNearlyFull, FailsBeforeTheFormChanges) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a btrfs image";
  const TempDir dir;
  const std::filesystem::path image = dir.path() / "btrfs.img";
  const std::filesystem::path where = dir.path() / "cow";
  std::filesystem::create_directories(where);
  { std::ofstream(image).flush(); }
  std::filesystem::resize_file(image, std::uintmax_t{128} << 20);
  const std::string make = "mkfs.btrfs -q '" + image.string() +
                           "' >/dev/null 2>&1 && mount -o loop '" + image.string() + "' '" +
                           where.string() + "' 2>/dev/null";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "cannot make and mount a btrfs image here";
  struct Unmount {
    std::string where;
    ~Unmount() { ::umount2(where.c_str(), MNT_DETACH); }
  } unmount{where.string()};
  ProjectScenario scenario(where, std::size_t{4} << 20);
  FillUp(where / "filler", 1000);
  ::sync();  // btrfs counts the freed blocks as free once they are committed
  repair::DiskFileSystem files;
  const std::string message = scenario.Run(files);
  EXPECT_TRUE(
      message.starts_with("cannot write \"B.frm\": its file system copies what it "
                          "overwrites and has "))
      << message;
  EXPECT_TRUE(message.ends_with(" its rewrite and a possible restore need")) << message;
  scenario.Expect(Outcome::kOriginal, true);
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
}

// Forms that are links into another file system keep their backups beside the links: both file
// systems are flushed.
TEST(FormsOnAnotherFileSystem, BothFileSystemsAreFlushed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs";
  const TempDir dir;
  const TmpfsMount mount(dir.path() / "other", "size=1m");
  if (!mount.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  ProjectScenario scenario(dir.path(), 4096);
  for (const char* form : {"A.frm", "B.frm"}) {
    std::filesystem::copy_file(dir.path() / form, dir.path() / "other" / form);
    std::filesystem::remove(dir.path() / form);
    std::filesystem::create_symlink(dir.path() / "other" / form, dir.path() / form);
  }
  std::vector<std::uint64_t> flushed;
  {
    const FlushFault counting(SIZE_MAX);
    repair::DiskFileSystem files;
    ASSERT_EQ(scenario.Run(files), "");
    for (const FlushFault::Flushed& call : counting.flushed()) flushed.push_back(call.device);
  }
  struct stat here {};
  struct stat there {};
  ASSERT_EQ(::stat(dir.path().c_str(), &here), 0);
  ASSERT_EQ(::stat((dir.path() / "other").c_str(), &there), 0);
  EXPECT_NE(std::ranges::find(flushed, here.st_dev), flushed.end());
  EXPECT_NE(std::ranges::find(flushed, there.st_dev), flushed.end());
}

// Runs the repair in a child process after `set_up` there (which says why it can't, or ""),
// and returns its message; the child's log goes to the scenario.
std::string RunInChild(ProjectScenario& scenario, std::string (*set_up)()) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::string report = set_up();
    if (report.empty()) {
      repair::GuardTermination();
      repair::DiskFileSystem files;
      report = scenario.Run(files);
    }
    report += '\0';
    report += scenario.log();
    const char* data = report.data();
    std::size_t left = report.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], data, left);
      if (n <= 0) break;
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string report;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
    report.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  const std::size_t split = report.find('\0');
  if (split == std::string::npos) return report;
  scenario.set_log(report.substr(split + 1));
  return report.substr(0, split);
}

constexpr std::size_t kFormSize = 20000;

TEST(FileSizeLimit, GrowingFormIsLeftAsItWas) {
  const TempDir dir;
  ProjectScenario scenario(dir.path(), kFormSize);
  // Every file but the repaired B fits under the limit, B's backup included.
  const auto limit = [] {
    const rlimit size_limit{kFormSize + 200, kFormSize + 200};
    return std::string(::setrlimit(RLIMIT_FSIZE, &size_limit) != 0 ? "setrlimit failed" : "");
  };
  EXPECT_EQ(RunInChild(scenario, limit), "cannot write \"B.frm\": File too large");
  scenario.Expect(Outcome::kOriginal, true);
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
}

// In a container or chroot without /proc no file can be opened safely: the run says so.
TEST(WithoutProc, TheRunSaysWhatIsMissing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hide /proc";
  const TempDir dir;
  ProjectScenario scenario(dir.path(), kFormSize);
  const auto hide = [] {
    return std::string(::unshare(CLONE_NEWNS) != 0 ||
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                               ::mount("none", "/proc", "tmpfs", 0, "size=4k") != 0
                           ? "cannot hide /proc"
                           : "");
  };
  const std::string message = RunInChild(scenario, hide);
  if (message == "cannot hide /proc") GTEST_SKIP() << message;
  EXPECT_EQ(message, "cannot open \"" + (dir.path() / "Project.vbp").string() +
                         "\" for reading: /proc is not mounted, and this program needs it to open "
                         "files safely");
  EXPECT_EQ(ReadFile(scenario.b_path()), scenario.b());
}

}  // namespace
}  // namespace plindor::testing
