#include "cli/dry_run_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "cli/change_summary.h"
#include "repair/disk_file_system.h"
#include "repair/fake_file_system.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#ifdef _WIN32
#include "repair/unique_handle.h"
#endif
#include "temp_dir.h"

namespace plindor::cli {
namespace {

namespace fs = std::filesystem;
using plindor::testing::CurrentDirectory;
using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;
using repair::IoMode;
using ::testing::ElementsAre;

std::string ReadThrough(repair::FileSystem& files, const std::string& path) {
  const auto stream = files.OpenTextFile(path, IoMode::kForReading);
  std::string text = stream->ReadAll();
  stream->Close();
  return text;
}

void WriteThrough(repair::FileSystem& files, const std::string& path, const std::string& text) {
  const auto stream = files.OpenTextFile(path, IoMode::kForWriting);
  stream->Write(text);
  stream->Close();
}

class DryRunFileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  CurrentDirectory here{dir.path()};
  repair::DiskFileSystem disk;
  DryRunFileSystem dry_run{disk};
};

TEST_F(DryRunFileSystemTest, KeepsWritesInMemoryAndLeavesTheDiskAlone) {
  WriteFile(dir.path() / "Main.frm", "old\r\n");
  const fs::file_time_type before = fs::last_write_time(dir.path() / "Main.frm");

  EXPECT_EQ(ReadThrough(dry_run, "Main.frm"), "old\r\n");
  WriteThrough(dry_run, "Main.frm", "new\r\n");

  EXPECT_EQ(ReadFile(dir.path() / "Main.frm"), "old\r\n");
  EXPECT_EQ(fs::last_write_time(dir.path() / "Main.frm"), before);
  ASSERT_EQ(dry_run.files().size(), 1u);
  EXPECT_EQ(dry_run.files()[0].path, "Main.frm");
  EXPECT_EQ(dry_run.files()[0].location, dir.path() / "Main.frm");
  EXPECT_EQ(dry_run.files()[0].original, "old\r\n");
  EXPECT_EQ(dry_run.files()[0].repaired, "new\r\n");
}

TEST_F(DryRunFileSystemTest, LaterReadsSeeEarlierWritesWhateverTheFileIsCalled) {
  WriteFile(dir.path() / "Forms/Main.frm", "old");
  fs::create_hard_link(dir.path() / "Forms/Main.frm", dir.path() / "Linked.frm");

  (void)ReadThrough(dry_run, "Forms\\Main.frm");
  WriteThrough(dry_run, "Forms\\Main.frm", "new");
  EXPECT_EQ(ReadThrough(dry_run, "forms/MAIN.FRM"), "new");
  EXPECT_EQ(ReadThrough(dry_run, "Linked.frm"), "new");

  ASSERT_EQ(dry_run.files().size(), 1u);
  EXPECT_EQ(dry_run.files()[0].path, "Forms\\Main.frm");
}

TEST_F(DryRunFileSystemTest, OpeningForWritingEmptiesWhatLaterReadsSee) {
  WriteFile(dir.path() / "a.frm", "old");
  (void)ReadThrough(dry_run, "a.frm");
  dry_run.OpenTextFile("a.frm", IoMode::kForWriting)->Close();
  EXPECT_EQ(ReadThrough(dry_run, "a.frm"), "");
}

// The message a real run gives when it opens `path`, or "" when opening works.
std::string RealFailure(repair::FileSystem& disk, const std::string& path, IoMode mode) {
  try {
    disk.OpenTextFile(path, mode);
  } catch (const repair::RepairError& e) {
    return e.what();
  }
  return "";
}

TEST_F(DryRunFileSystemTest, FailsOnAMissingFileAsARealRunDoes) {
  for (const IoMode mode : {IoMode::kForReading, IoMode::kForWriting}) {
    const std::string expected = RealFailure(disk, "Gone.frm", mode);
#ifdef _WIN32
    ASSERT_THAT(expected, ::testing::StartsWith("cannot open \"Gone.frm\""));
#else
    ASSERT_THAT(expected, ::testing::HasSubstr("No such file"));
#endif
    try {
      dry_run.OpenTextFile("Gone.frm", mode);
      ADD_FAILURE() << "no failure";
    } catch (const repair::RepairError& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
  }
}

#ifdef _WIN32
// Ways another program or the user keeps a file from being written on Windows.
struct LockCase {
  const char* name;
  // Makes "locked.frm" in the current folder unwritable until the returned action runs.
  std::function<std::function<void()>()> lock;
};

std::ostream& operator<<(std::ostream& out, const LockCase& row) { return out << row.name; }

class DryRunLockTest : public DryRunFileSystemTest,
                       public ::testing::WithParamInterface<LockCase> {};

TEST_P(DryRunLockTest, FailsToOpenForWritingWhereARealRunCannotWriteAndChangesNothing) {
  WriteFile(dir.path() / "locked.frm", "old\r\n");
  const fs::file_time_type before = fs::last_write_time(dir.path() / "locked.frm");
  const std::function<void()> unlock = GetParam().lock();

  EXPECT_EQ(ReadThrough(dry_run, "locked.frm"), "old\r\n");
  const std::string expected = RealFailure(disk, "locked.frm", IoMode::kForWriting);
  std::string actual;
  try {
    dry_run.OpenTextFile("locked.frm", IoMode::kForWriting);
  } catch (const repair::RepairError& e) {
    actual = e.what();
  }
  unlock();

  EXPECT_THAT(expected, ::testing::StartsWith("cannot open \"locked.frm\" for writing: "));
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(ReadFile(dir.path() / "locked.frm"), "old\r\n");
  EXPECT_EQ(fs::last_write_time(dir.path() / "locked.frm"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, DryRunLockTest,
    ::testing::Values(LockCase{"ReadOnlyAttribute",
                               [] {
                                 EXPECT_TRUE(
                                     ::SetFileAttributesW(L"locked.frm", FILE_ATTRIBUTE_READONLY));
                                 return std::function<void()>([] {
                                   ::SetFileAttributesW(L"locked.frm", FILE_ATTRIBUTE_NORMAL);
                                 });
                               }},
                      LockCase{"OpenElsewhereWithoutWriteSharing",
                               [] {
                                 const HANDLE other = ::CreateFileW(
                                     L"locked.frm", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                                 EXPECT_NE(other, INVALID_HANDLE_VALUE);
                                 return std::function<void()>([other] { ::CloseHandle(other); });
                               }}),
    [](const ::testing::TestParamInfo<LockCase>& row) { return std::string(row.param.name); });

// The check for writing must not stand in the way of a file others merely hold open.
TEST_F(DryRunFileSystemTest, OpensForWritingAFileOthersHoldOpenWithSharing) {
  WriteFile(dir.path() / "shared.frm", "old");
  const repair::UniqueHandle other(::CreateFileW(
      L"shared.frm", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(RealFailure(dry_run, "shared.frm", IoMode::kForWriting), "");
  EXPECT_EQ(ReadFile(dir.path() / "shared.frm"), "old");
}

#else
// A read-only file system, which stops root as well as anyone else. Mounting needs root; other
// users get a file without write permission instead.
class ReadOnlyFolder final {
 public:
  explicit ReadOnlyFolder(const fs::path& path) : path_(path) {
    fs::create_directories(path);
    if (::geteuid() != 0) {
      WriteFile(path / "locked.frm", "old");
      fs::permissions(path / "locked.frm", fs::perms::owner_read);
      ready_ = true;
      return;
    }
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") != 0) {
      reason_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
    WriteFile(path / "locked.frm", "old");
    if (::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      reason_ = std::string("cannot make the tmpfs read-only: ") + std::strerror(errno);
      return;
    }
    ready_ = true;
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  ~ReadOnlyFolder() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }

  bool ready() const { return ready_; }
  const std::string& reason() const { return reason_; }

 private:
  fs::path path_;
  bool mounted_ = false;
  bool ready_ = false;
  std::string reason_;
};

TEST_F(DryRunFileSystemTest, FailsToOpenForWritingWhereARealRunCannotWrite) {
  const ReadOnlyFolder folder(dir.path() / "ro");
  if (!folder.ready()) GTEST_SKIP() << folder.reason();

  EXPECT_EQ(ReadThrough(dry_run, "ro/locked.frm"), "old");
  const std::string expected = RealFailure(disk, "ro/locked.frm", IoMode::kForWriting);
  ASSERT_FALSE(expected.empty());
  try {
    dry_run.OpenTextFile("ro/locked.frm", IoMode::kForWriting);
    ADD_FAILURE() << "no failure";
  } catch (const repair::RepairError& e) {
    EXPECT_EQ(std::string(e.what()), expected);
  }
}

#endif

TEST_F(DryRunFileSystemTest, SummaryCountsEachRuleOfEachFile) {
  WriteFile(dir.path() / "App.vbp",
            "Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; mschrt20.ocx\r\n"
            "Form=A.frm\r\nForm=B.frm\r\nForm=a.frm\r\n");
  WriteFile(dir.path() / "A.frm", "Begin ComctlLib.X\r\nBegin COMCTLLIB.Y\r\nBegin Comctl2.Z\r\n");
  WriteFile(dir.path() / "B.frm", "Begin MSComctlLib.X\r\n");
  plindor::testing::StringLog log;
  repair::Repairer(dry_run, log).FixProjectFile("App.vbp");

  std::vector<std::string> lines;
  for (const FileChange& change : SummarizeChanges(dry_run)) lines.push_back(FormatChange(change));
  // "a.frm" is "A.frm" again: its second repair finds nothing more to replace.
  EXPECT_THAT(lines,
              ElementsAre("Would change App.vbp: project rules 3 x1",
                          "Would change A.frm: component rules 2 x2, 4 x1", "Unchanged: B.frm"));
}

}  // namespace
}  // namespace plindor::cli
