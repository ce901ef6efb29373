#include "repair/disk_file_system.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "memory_file_system.h"
#include "repair/backup_record.h"
#include "repair/repair_error.h"
#include "temp_dir.h"

namespace plindor::repair {
namespace {

namespace fs = std::filesystem;
using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

std::string AllBytes() {
  std::string bytes;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  return bytes;
}

// The message the engine raised, or "" when nothing was raised.
template <typename Action>
std::string FailureOf(Action action) {
  try {
    action();
  } catch (const RepairError& e) {
    return e.what();
  }
  return "";
}

std::string Backup(const std::string& path) { return path + ".plindor-backup"; }

class DiskFileSystemTest : public ::testing::Test {
 protected:
  // Opens, reads and rewrites `path` with `text`; returns what was read.
  std::string Rewrite(const std::string& path, std::string_view text) {
    const auto file = files.OpenForRepair("", path);
    std::string read = file->Read();
    testing::Rewrite(files, *file, text);
    return read;
  }

  TempDir dir;
  DiskFileSystem files;
};

TEST_F(DiskFileSystemTest, EveryByteValueRoundTrips) {
  const std::string path = dir / "bytes.frm";
  WriteFile(path, AllBytes());
  const std::string all = AllBytes();
  const std::string reversed(all.rbegin(), all.rend());
  EXPECT_EQ(Rewrite(path, reversed), AllBytes());
  EXPECT_EQ(ReadFile(path), reversed);
}

TEST_F(DiskFileSystemTest, RewriteLeavesExactlyTheNewTextAndNoBackup) {
  const std::string path = dir / "a.frm";
  struct Row {
    std::string before, after;
  };
  for (const Row& row :
       {Row{"short", "a good deal longer\r\n"}, Row{"a good deal longer", "x"},
        Row{"same size", "SAME SIZE"}, Row{"unchanged", "unchanged"}, Row{"", ""}, Row{"gone", ""},
        Row{"", "\r\n"}, Row{"common prefix, old tail", "common prefix, new"}}) {
    WriteFile(path, row.before);
    EXPECT_EQ(Rewrite(path, row.after), row.before);
    EXPECT_EQ(ReadFile(path), row.after) << "after rewriting \"" << row.before << "\"";
    EXPECT_FALSE(fs::exists(Backup(path)));
  }
}

// The same file is rewritten, not replaced: links, owner, permissions and extended attributes
// stay.
TEST_F(DiskFileSystemTest, RewriteKeepsTheSameFile) {
  const std::string path = dir / "a.frm";
  const std::string link = dir / "link.frm";
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
  const bool has_xattr = ::setxattr(path.c_str(), "user.plindor", "kept", 4, 0) == 0;
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  Rewrite(path, "new and longer");

  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(link), "new and longer");
  if (has_xattr) {
    char value[8] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.plindor", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  }
}

TEST_F(DiskFileSystemTest, OpeningNeverCreatesAFile) {
  EXPECT_EQ(FailureOf([&] { files.OpenForRepair(dir.path(), "Forms\\Missing.frm"); }),
            "cannot open \"Forms\\Missing.frm\" for reading: No such file or directory");
  EXPECT_EQ(FailureOf([&] { files.OpenForRepair(dir.path(), ""); }),
            "cannot open \"\" for reading: No such file or directory");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DiskFileSystemTest, NameWithNulIsRefusedRatherThanCut) {
  const std::string path = dir / "Main.frm";
  WriteFile(path, "keep");
  const std::string with_nul = path + std::string("\0.bak", 5);
  EXPECT_EQ(FailureOf([&] { Rewrite(with_nul, "changed"); }),
            "cannot open \"" + path + "\\0.bak\" for reading: the name contains a NUL character");
  EXPECT_EQ(ReadFile(path), "keep");
}

// Root reads and writes whatever the mode bits say, so the child gives up root first.
void DropRoot() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
}

TEST_F(DiskFileSystemTest, PermissionDeniedIsReportedAndTheFileKept) {
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string unreadable = dir / "unreadable.frm";
  const std::string read_only = dir / "read-only.frm";
  WriteFile(unreadable, "secret");
  WriteFile(read_only, "keep me");
  ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);

  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(FailureOf([&] { child_files.OpenForRepair("", unreadable); }).c_str(), stderr);
        std::fputs("|", stderr);
        std::fputs(FailureOf([&] { child_files.OpenForRepair("", read_only); }).c_str(), stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^cannot open \".*unreadable.frm\" for reading: Permission denied\\|"
      "cannot open \".*read-only.frm\" for writing: Permission denied$");
  EXPECT_EQ(ReadFile(read_only), "keep me");
}

// The backup can't be made in a folder the user may not write to; the file is not touched.
TEST_F(DiskFileSystemTest, NoBackupNoRewrite) {
  const std::string path = dir / "Sub/a.frm";
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((dir / "Sub").c_str(), 0555), 0);
  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(FailureOf([&] { child_files.OpenForRepair(dir / "Sub", "a.frm"); }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^cannot open \"a.frm\" for writing: Permission denied$");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(FailureOf([&] {
                     const auto file = child_files.OpenForRepair(dir / "Sub", "a.frm");
                     file->Read();
                     testing::Rewrite(child_files, *file, "new");
                   }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^cannot write \"a.frm\": cannot make its backup \"a.frm.plindor-backup\": Permission "
      "denied$");
  EXPECT_EQ(ReadFile(path), "old");
}

// With a file-size limit the growth can't be claimed; the file keeps its old bytes.
TEST_F(DiskFileSystemTest, WriteBeyondFileSizeLimitFailsWithOriginalBytesIntact) {
  const std::string path = dir / "grows.frm";
  const std::string original = AllBytes();
  WriteFile(path, original);
  EXPECT_EXIT(
      {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = original.size() + 100;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
        DiskFileSystem child_files;
        std::fputs(FailureOf([&] {
                     const auto file = child_files.OpenForRepair("", path);
                     file->Read();
                     testing::Rewrite(child_files, *file, original + std::string(4096, 'x'));
                   }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^cannot write \".*grows.frm\": File too large$");
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_FALSE(fs::exists(Backup(path)));
}

// What another program does to the form between the repair's read and its write.
struct Meddling {
  const char* name;
  std::function<void(const TempDir&)> act;
  std::string message;
};

void PrintTo(const Meddling& row, std::ostream* out) { *out << row.name; }

class ChangedMeanwhile : public DiskFileSystemTest,
                         public ::testing::WithParamInterface<Meddling> {};

// The rewrite goes through the handle that read the file; a file changed since is left as the
// other program left it, and the run says why it stopped. Changes are looked for when the
// rewrite is prepared and again right before the file is overwritten.
TEST_P(ChangedMeanwhile, RefusesToWriteAndKeepsTheOtherProgramsWork) {
  for (const bool after_prepare : {false, true}) {
    WriteFile(dir / "Main.frm", "Begin ComctlLib.X\r\n");
    WriteFile(dir / "target.txt", "someone else's file\n");
    const auto file = files.OpenForRepair(dir.path(), "Main.frm");
    file->Read();
    const std::string repaired = "Begin MSComctlLib.X\r\n";
    if (after_prepare) file->Prepare(repaired);
    GetParam().act(dir);
    const std::string main_now = ReadFile(dir / "Main.frm");

    EXPECT_EQ(FailureOf([&] {
                if (!after_prepare) file->Prepare(repaired);
                RepairFile* const batch[] = {file.get()};
                const CommitResult result = files.Commit(batch);
                if (!result.failure.empty()) throw RepairError(result.failure);
              }),
              "cannot write \"Main.frm\": " + GetParam().message)
        << (after_prepare ? "changed after the rewrite was prepared" : "changed after the read");
    EXPECT_EQ(ReadFile(dir / "target.txt"), "someone else's file\n");
    EXPECT_EQ(ReadFile(dir / "Main.frm"), main_now);
    EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
    fs::remove(dir / "Main.frm");
  }
}

const std::string kReplaced = "another program replaced, renamed or removed it since it was read";

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangedMeanwhile,
    ::testing::Values(Meddling{"SwappedForASymbolicLink",
                               [](const TempDir& d) {
                                 fs::remove(d / "Main.frm");
                                 fs::create_symlink(d / "target.txt", d / "Main.frm");
                               },
                               kReplaced},
                      Meddling{"SavedByAnEditorThroughRename",
                               [](const TempDir& d) {
                                 WriteFile(d / "Main.frm.tmp", "the editor's version\r\n");
                                 fs::rename(d / "Main.frm.tmp", d / "Main.frm");
                               },
                               kReplaced},
                      Meddling{"Appended",
                               [](const TempDir& d) {
                                 std::ofstream(d / "Main.frm", std::ios::app) << "appended\r\n";
                               },
                               "another program changed its length since it was read"},
                      Meddling{"Truncated",
                               [](const TempDir& d) { fs::resize_file(d / "Main.frm", 3); },
                               "another program changed its length since it was read"},
                      Meddling{"Overwritten",
                               [](const TempDir& d) {
                                 // Same length; only the modification time tells.
                                 const auto mtime = fs::last_write_time(d / "Main.frm");
                                 WriteFile(d / "Main.frm", "Begin ComctlLib.Y\r\n");
                                 fs::last_write_time(d / "Main.frm",
                                                     mtime + std::chrono::seconds(1));
                               },
                               "another program changed it since it was read"}),
    [](const ::testing::TestParamInfo<Meddling>& row) { return std::string(row.param.name); });

// A backup beside the form, as an interrupted rewrite from `before` to `after` leaves it, with
// the form holding `now`.
void Interrupted(const TempDir& d, std::string_view before, std::string_view after,
                 std::string_view now) {
  const BackupRecord record = BackupRecord::For(before, after);
  WriteFile(d / "Main.frm.plindor-backup",
            EncodeBackupHeader(record) + std::string(record.old_tail));
  WriteFile(d / "Main.frm", now);
}

struct Leftover {
  const char* name;
  std::string now;           // the form as the interrupted run left it
  std::string read;          // what the next repair reads
  std::string log;           // what opening reports, after the 3 spaces of the log line
  bool backup_left = false;  // true only where the next repair refuses to go on
};

void PrintTo(const Leftover& row, std::ostream* out) { *out << row.name; }

const std::string kOld = "VERSION 5.00\r\nBegin ComctlLib.ListView L\r\nEnd\r\n";
const std::string kNew = "VERSION 5.00\r\nBegin MSComctlLib.ListView L\r\nEnd\r\n";

class LeftoverBackup : public DiskFileSystemTest, public ::testing::WithParamInterface<Leftover> {};

TEST_P(LeftoverBackup, IsDealtWithBeforeTheFileIsRead) {
  const Leftover& row = GetParam();
  Interrupted(dir, kOld, kNew, row.now);
  const auto file = files.OpenForRepair(dir.path(), "Main.frm");
  EXPECT_EQ(file->Recovery(), row.log);
  EXPECT_EQ(file->Read(), row.read);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), row.read);
  EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
  testing::Rewrite(files, *file, kNew);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kNew);
}

const std::string kPutBack =
    "put back \"Main.frm\" from its backup \"Main.frm.plindor-backup\", left by an interrupted run";
const std::string kWasWhole =
    "removed \"Main.frm.plindor-backup\", left by an interrupted run; \"Main.frm\" was whole";

INSTANTIATE_TEST_SUITE_P(
    Cases, LeftoverBackup,
    ::testing::Values(Leftover{"KilledMidway",
                               kNew.substr(0, 20) + kOld.substr(20) + std::string(7, '\0'), kOld,
                               kPutBack},
                      Leftover{"KilledAfterGrowing", kOld + std::string(1, '\0'), kOld, kPutBack},
                      Leftover{"KilledBeforeTheFirstByte", kOld, kOld, kWasWhole},
                      Leftover{"KilledBeforeRemovingTheBackup", kNew, kNew, kWasWhole}),
    [](const ::testing::TestParamInfo<Leftover>& row) { return std::string(row.param.name); });

TEST_F(DiskFileSystemTest, UnfinishedBackupMeansTheFileWasNotTouched) {
  const BackupRecord record = BackupRecord::For(kOld, kNew);
  const std::string whole = EncodeBackupHeader(record) + std::string(record.old_tail);
  WriteFile(dir / "Main.frm.plindor-backup", whole.substr(0, whole.size() - 5));
  WriteFile(dir / "Main.frm", kOld);
  const auto file = files.OpenForRepair(dir.path(), "Main.frm");
  EXPECT_EQ(file->Recovery(),
            "removed \"Main.frm.plindor-backup\", the unfinished backup of an interrupted run; "
            "\"Main.frm\" was not changed");
  EXPECT_EQ(file->Read(), kOld);
  EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
}

// A backup that doesn't fit the file is a person's business: nothing is touched.
TEST_F(DiskFileSystemTest, BackupThatDoesNotFitStopsTheRepair) {
  struct Row {
    std::string backup, form, message;
  };
  const BackupRecord record = BackupRecord::For(kOld, kNew);
  const std::string backup = EncodeBackupHeader(record) + std::string(record.old_tail);
  for (const Row& row :
       {Row{"my own notes\n", kOld,
            "\"Main.frm.plindor-backup\" beside it is not a backup this program made; move it "
            "away"},
        Row{backup, "VERSION 6.00\r\nsomething else\r\n",
            "it changed after an interrupted run left its backup \"Main.frm.plindor-backup\"; "
            "compare the two, then move the backup away"}}) {
    WriteFile(dir / "Main.frm.plindor-backup", row.backup);
    WriteFile(dir / "Main.frm", row.form);
    EXPECT_EQ(FailureOf([&] { files.OpenForRepair(dir.path(), "Main.frm"); }),
              "cannot repair \"Main.frm\": " + row.message);
    EXPECT_EQ(ReadFile(dir / "Main.frm"), row.form);
    EXPECT_EQ(ReadFile(dir / "Main.frm.plindor-backup"), row.backup);
  }
}

TEST_F(DiskFileSystemTest, PreviewWritesNothingButLaterReadsSeeWhatItWouldHave) {
  WriteFile(dir / "Main.frm", kOld);
  ASSERT_EQ(::link((dir / "Main.frm").c_str(), (dir / "Other.frm").c_str()), 0);
  const auto mtime = fs::last_write_time(dir / "Main.frm");
  DiskFileSystem preview(DiskFileSystem::Mode::kPreview);
  {
    const auto file = preview.OpenForRepair(dir.path(), "Main.frm");
    EXPECT_EQ(file->Read(), kOld);
    testing::Rewrite(preview, *file, kNew);
  }
  EXPECT_EQ(preview.OpenForRepair(dir.path(), "Other.frm")->Read(), kNew);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kOld);
  EXPECT_EQ(fs::last_write_time(dir / "Main.frm"), mtime);

  // A leftover backup is read as the real run would put it back, and left where it is.
  Interrupted(dir, kOld, kNew, kNew.substr(0, 30));
  DiskFileSystem second_preview(DiskFileSystem::Mode::kPreview);
  const auto file = second_preview.OpenForRepair(dir.path(), "Main.frm");
  EXPECT_EQ(file->Recovery(), kPutBack);
  EXPECT_EQ(file->Read(), kOld);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kNew.substr(0, 30));
  EXPECT_TRUE(fs::exists(dir / "Main.frm.plindor-backup"));
}

}  // namespace
}  // namespace plindor::repair
