// Forms that root can't write, and forms that vanish or change kind between read and write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "fault_scenario.h"
#include "repair/disk_file_system.h"
#include "temp_dir.h"

namespace plindor::testing {
namespace {

// Sets an inode flag (chattr +i, +a) for the object's lifetime.
class InodeFlag final {
 public:
  InodeFlag(const std::filesystem::path& path, int flag)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), flag_(flag) {
    int flags = 0;
    if (fd_ < 0 || ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    flags |= flag_;
    if (::ioctl(fd_, FS_IOC_SETFLAGS, &flags) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    set_ = true;
  }
  InodeFlag(const InodeFlag&) = delete;
  InodeFlag& operator=(const InodeFlag&) = delete;
  ~InodeFlag() {
    int flags = 0;
    if (set_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~flag_;
      (void)::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  bool set() const { return set_; }
  const std::string& error() const { return error_; }

 private:
  int fd_;
  int flag_;
  bool set_ = false;
  std::string error_;
};

// Bind-mounts a file read-only over itself for the object's lifetime.
class ReadOnlyBind final {
 public:
  explicit ReadOnlyBind(const std::filesystem::path& path) : path_(path) {
    if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    bound_ = true;
    if (::mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    read_only_ = true;
  }
  ReadOnlyBind(const ReadOnlyBind&) = delete;
  ReadOnlyBind& operator=(const ReadOnlyBind&) = delete;
  ~ReadOnlyBind() {
    if (bound_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool read_only() const { return read_only_; }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path path_;
  bool bound_ = false;
  bool read_only_ = false;
  std::string error_;
};

TEST(UnwritableForm, ImmutableOrAppendOnlyFormIsLeftAsItWas) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to set inode flags";
  for (const int flag : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
    const TempDir dir;
    ProjectScenario scenario(dir.path(), 5000);
    const InodeFlag set(scenario.b_path(), flag);
    if (!set.set()) GTEST_SKIP() << "cannot set an inode flag: " << set.error();
    repair::DiskFileSystem files;
    EXPECT_EQ(scenario.Run(files), "cannot open \"B.frm\" for writing: Operation not permitted");
    scenario.Expect(Outcome::kOriginal, true);
  }
}

TEST(UnwritableForm, FormOnReadOnlyMountIsLeftAsItWas) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to bind-mount a file read-only";
  const TempDir dir;
  ProjectScenario scenario(dir.path(), 5000);
  const ReadOnlyBind bind(scenario.b_path());
  if (!bind.read_only()) GTEST_SKIP() << "cannot bind-mount read-only: " << bind.error();
  repair::DiskFileSystem files;
  EXPECT_EQ(scenario.Run(files), "cannot open \"B.frm\" for writing: Read-only file system");
  scenario.Expect(Outcome::kOriginal, true);
}

// Root may write any file, but a form its owner may not write is left to whoever marked it so,
// as source control marks the files it has not handed out.
TEST(UnwritableForm, ReadOnlyFormIsLeftAsItWasEvenForRoot) {
  const TempDir dir;
  ProjectScenario scenario(dir.path(), 5000);
  namespace fs = std::filesystem;
  fs::permissions(scenario.b_path(), fs::perms::owner_write | fs::perms::group_write,
                  fs::perm_options::remove);
  repair::DiskFileSystem files;
  EXPECT_EQ(scenario.Run(files), "cannot write \"B.frm\": it is read-only");
  scenario.Expect(Outcome::kOriginal, true);
}

struct ChangeCase {
  std::string name;
  std::function<void(const std::filesystem::path&)> change;
  std::string message;
};

void PrintTo(const ChangeCase& row, std::ostream* out) { *out << row.name; }

std::vector<ChangeCase> ChangeCases() {
  namespace fs = std::filesystem;
  const std::string message =
      "cannot write \"B.frm\": another program replaced, renamed or removed it since it was read";
  return {
      {"Removed", [](const fs::path& b) { fs::remove(b); }, message},
      {"ReplacedByDirectory",
       [](const fs::path& b) {
         fs::remove(b);
         fs::create_directory(b);
       },
       message},
      {"ReplacedByFifo",
       [](const fs::path& b) {
         fs::remove(b);
         if (::mkfifo(b.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
       },
       message},
  };
}

class FormChangedBeforeWrite : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(FormChangedBeforeWrite, StopsTheRunWithoutWritingAnything) {
  const ChangeCase& c = GetParam();
  const TempDir dir;
  ProjectScenario scenario(dir.path(), 5000);
  HookedFileSystem files([&](const std::string& path) {
    if (path == "B.frm") c.change(scenario.b_path());
  });
  EXPECT_EQ(scenario.Run(files), c.message);
  scenario.Expect(Outcome::kAbsent, true);
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
}

INSTANTIATE_TEST_SUITE_P(BetweenReadAndWrite, FormChangedBeforeWrite,
                         ::testing::ValuesIn(ChangeCases()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace plindor::testing
