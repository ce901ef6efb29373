#include "repair/disk_file_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "disk_file_system_fixture.h"
#include "expect_repair_error.h"
#include "memory_file_system.h"
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

// The folder in UTF-8, as the engine takes names on every system.
std::string Folder(const TempDir& d) {
  const std::u8string name = d.path().u8string();
  return std::string(name.begin(), name.end());
}

using DiskFileSystemTest = DiskFileSystemFixture;

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

// Windows lets no other program write a file held for its repair.
#ifndef _WIN32
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
    const auto file = files.OpenForRepair(Folder(dir), "Main.frm");
    file->Read();
    const std::string repaired = "Begin MSComctlLib.X\r\n";
    if (after_prepare) file->Prepare(repaired);
    GetParam().act(dir);
    const std::string main_now = ReadFile(dir / "Main.frm");

    EXPECT_REPAIR_ERROR(
        {
          if (!after_prepare) file->Prepare(repaired);
          testing::CommitUnheard(files);
        },
        "cannot write \"Main.frm\": " + GetParam().message)
        << (after_prepare ? "changed after the rewrite was prepared" : "changed after the read");
    EXPECT_EQ(ReadFile(dir / "target.txt"), "someone else's file\n");
    EXPECT_EQ(ReadFile(dir / "Main.frm"), main_now);
    EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
    fs::remove(dir / "Main.frm");
  }
}

const std::string kReplaced = "another program replaced, renamed or removed it since it was read";

std::vector<Meddling> Meddlings() {
  std::vector<Meddling> rows = {
      {"SavedByAnEditorThroughRename",
       [](const TempDir& d) {
         WriteFile(d / "Main.frm.tmp", "the editor's version\r\n");
         fs::rename(d / "Main.frm.tmp", d / "Main.frm");
       },
       kReplaced},
      {"Appended",
       [](const TempDir& d) { std::ofstream(d / "Main.frm", std::ios::app) << "appended\r\n"; },
       "another program changed its length since it was read"},
      {"Truncated", [](const TempDir& d) { fs::resize_file(d / "Main.frm", 3); },
       "another program changed its length since it was read"},
      {"Overwritten",
       [](const TempDir& d) {
         // Same length; only the modification time tells.
         const auto mtime = fs::last_write_time(d / "Main.frm");
         WriteFile(d / "Main.frm", "Begin ComctlLib.Y\r\n");
         fs::last_write_time(d / "Main.frm", mtime + std::chrono::seconds(1));
       },
       "another program changed it since it was read"}};
  rows.push_back({"SwappedForASymbolicLink",
                  [](const TempDir& d) {
                    fs::remove(d / "Main.frm");
                    fs::create_symlink(d / "target.txt", d / "Main.frm");
                  },
                  kReplaced});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangedMeanwhile, ::testing::ValuesIn(Meddlings()),
                         [](const ::testing::TestParamInfo<Meddling>& row) {
                           return std::string(row.param.name);
                         });

#endif

// A backup beside the form, as an interrupted rewrite from `before` to `after` leaves it, with
// the form holding `now`.
void Interrupted(const TempDir& d, std::string_view before, std::string_view after,
                 std::string_view now) {
  WriteFile(d / "Main.frm", now);
  WriteFile(d / "Main.frm.plindor-backup", BackupFor(d / "Main.frm", before, after));
}

struct Leftover {
  const char* name;
  std::string now;           // the form as the interrupted run left it
  std::string read;          // what the next repair reads
  std::string log;           // what opening reports, after the 3 spaces of the log line
  bool backup_left = false;  // true only where the next repair refuses to go on
};

void PrintTo(const Leftover& row, std::ostream* out) { *out << row.name; }

// Two pages and more, so that a rewrite can be cut short between them.
const std::string kBody = std::string(5000, ' ') + "\r\nEnd\r\n";
const std::string kOld = "VERSION 5.00\r\nBegin ComctlLib.ListView L\r\n" + kBody;
const std::string kNew = "VERSION 5.00\r\nBegin MSComctlLib.ListView L\r\n" + kBody;
// Killed after its first page: the new bytes there, the old ones after.
const std::string kTorn = kNew.substr(0, 4096) + kOld.substr(4096);

class LeftoverBackup : public DiskFileSystemTest, public ::testing::WithParamInterface<Leftover> {};

TEST_P(LeftoverBackup, IsDealtWithBeforeTheFileIsRead) {
  const Leftover& row = GetParam();
  Interrupted(dir, kOld, kNew, row.now);
  {
    const auto file = files.OpenForRepair(Folder(dir), "Main.frm");
    EXPECT_EQ(file->Recovery(), row.log);
    EXPECT_EQ(file->Read(), row.read);
  }
  EXPECT_EQ(ReadFile(dir / "Main.frm"), row.read);
  EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
  Rewrite(Folder(dir) + "/Main.frm", kNew);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kNew);
}

const std::string kPutBack =
    "put back \"Main.frm\" from its backup \"Main.frm.plindor-backup\", left by an interrupted run";
const std::string kWasWhole =
    "removed \"Main.frm.plindor-backup\", left by an interrupted run; \"Main.frm\" was whole";

INSTANTIATE_TEST_SUITE_P(
    Cases, LeftoverBackup,
    ::testing::Values(Leftover{"KilledMidway", kTorn, kOld, kPutBack},
                      Leftover{"KilledBeforeTheFirstByte", kOld, kOld, kWasWhole},
                      Leftover{"KilledBeforeRemovingTheBackup", kNew, kNew, kWasWhole}),
    [](const ::testing::TestParamInfo<Leftover>& row) { return std::string(row.param.name); });

// A backup cut short never reached the disk, so its file was never touched: it goes, unless
// the file changed since. The rest of what a backup proves is told in backup_record_test.cpp.
TEST_F(DiskFileSystemTest, BackupCutShortGoesUnlessTheFileChangedSince) {
  WriteFile(dir / "Main.frm", kOld);
  const std::string whole = BackupFor(dir / "Main.frm", kOld, kNew);
  const std::string unfinished =
      "removed \"Main.frm.plindor-backup\", the unfinished backup of an interrupted run; "
      "\"Main.frm\" was not changed";
  struct Row {
    std::string backup, form, outcome;
  };
  for (const Row& row :
       {Row{"", kOld, unfinished}, Row{whole.substr(0, 20), kOld, unfinished},
        Row{whole.substr(0, whole.size() - 5), kOld, unfinished},
        Row{whole.substr(0, whole.size() - 5), kNew.substr(0, 25) + kOld.substr(25),
            "cannot repair \"Main.frm\": it changed after an interrupted run left its backup "
            "\"Main.frm.plindor-backup\"; compare the two, then move the backup away"}}) {
    WriteFile(dir / "Main.frm.plindor-backup", row.backup);
    WriteFile(dir / "Main.frm", row.form);
    try {
      EXPECT_EQ(files.OpenForRepair(Folder(dir), "Main.frm")->Recovery(), row.outcome);
      EXPECT_FALSE(fs::exists(dir / "Main.frm.plindor-backup"));
    } catch (const RepairError& error) {
      EXPECT_EQ(error.what(), row.outcome);
      EXPECT_EQ(ReadFile(dir / "Main.frm.plindor-backup"), row.backup);
    }
    EXPECT_EQ(ReadFile(dir / "Main.frm"), row.form);
  }
}

// A project may list a backup, or a run meet one: repairing it would spoil the only copy of
// what an interrupted rewrite overwrote.
TEST_F(DiskFileSystemTest, BackupsAreNeverRepaired) {
  WriteFile(dir / "Main.frm.plindor-backup", "kept");
  for (const std::string name :
       {"Main.frm.plindor-backup", "sub\\MAIN.FRM.Plindor-Backup", "Main.frm.plindor-backup. "}) {
    EXPECT_REPAIR_ERROR(files.OpenForRepair(Folder(dir), name),
                        "cannot repair \"" + name +
                            "\": this program keeps a file's old bytes under such a name while "
                            "it rewrites the file, and never repairs it");
  }
  EXPECT_EQ(ReadFile(dir / "Main.frm.plindor-backup"), "kept");
}

// A backup that doesn't fit the file is a person's business: nothing is touched.
TEST_F(DiskFileSystemTest, BackupThatDoesNotFitStopsTheRepair) {
  struct Row {
    std::string backup, form, message;
  };
  WriteFile(dir / "Main.frm", kOld);
  const std::string backup = BackupFor(dir / "Main.frm", kOld, kNew);
  for (const Row& row :
       {Row{"my own notes\n", kOld,
            "\"Main.frm.plindor-backup\" beside it is not a backup this version of the program "
            "made; compare the two, then move the backup away"},
        Row{backup, "VERSION 6.00\r\nsomething else\r\n",
            "it changed after an interrupted run left its backup \"Main.frm.plindor-backup\"; "
            "compare the two, then move the backup away"}}) {
    WriteFile(dir / "Main.frm.plindor-backup", row.backup);
    WriteFile(dir / "Main.frm", row.form);
    EXPECT_REPAIR_ERROR(files.OpenForRepair(Folder(dir), "Main.frm"),
                        "cannot repair \"Main.frm\": " + row.message);
    EXPECT_EQ(ReadFile(dir / "Main.frm"), row.form);
    EXPECT_EQ(ReadFile(dir / "Main.frm.plindor-backup"), row.backup);
  }
}

TEST_F(DiskFileSystemTest, PreviewWritesNothingButLaterReadsSeeWhatItWouldHave) {
  WriteFile(dir / "Main.frm", kOld);
  fs::create_hard_link(dir / "Main.frm", dir / "Other.frm");
  const auto mtime = fs::last_write_time(dir / "Main.frm");
  DiskFileSystem preview(DiskFileSystem::Mode::kPreview);
  {
    const auto file = preview.OpenForRepair(Folder(dir), "Main.frm");
    EXPECT_EQ(file->Read(), kOld);
    testing::Rewrite(preview, *file, kNew);
  }
  EXPECT_EQ(preview.OpenForRepair(Folder(dir), "Other.frm")->Read(), kNew);
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kOld);
  EXPECT_EQ(fs::last_write_time(dir / "Main.frm"), mtime);

  // A leftover backup is read as the real run would put it back, and left where it is.
  Interrupted(dir, kOld, kNew, kTorn);
  DiskFileSystem second_preview(DiskFileSystem::Mode::kPreview);
  {
    const auto file = second_preview.OpenForRepair(Folder(dir), "Main.frm");
    EXPECT_EQ(file->Recovery(), "would " + kPutBack);
    EXPECT_EQ(file->Read(), kOld);
  }
  EXPECT_EQ(ReadFile(dir / "Main.frm"), kTorn);
  EXPECT_TRUE(fs::exists(dir / "Main.frm.plindor-backup"));
}

}  // namespace
}  // namespace plindor::repair
