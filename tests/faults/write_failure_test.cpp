// Writes that fail or fall short partway through a form or its backup, through the pwrite seam
// (which acts on the writes to one file only, wherever they happen in the run).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fault_scenario.h"
#include "temp_dir.h"
#include "write_seam.h"

namespace plindor::testing {
namespace {

constexpr std::size_t kFormSize = 10000;

struct WriteCase {
  std::string name;
  WritePlan plan;
  std::string message;
  Outcome b;
};

void PrintTo(const WriteCase& row, std::ostream* out) { *out << row.name; }

std::vector<WriteCase> WriteCases() {
  // The rewrite starts at the first byte that changes, two bytes in.
  const std::size_t rewritten = Repaired(OldForm(kFormSize)).size() - 2;
  const std::string eio = "cannot write \"B.frm\": Input/output error";
  const std::string form = "B.frm";
  const std::string backup = "B.frm.plindor-backup";
  return {
      {"FailsBeforeTheFirstByte", {.file = form, .fail_after = 0}, eio, Outcome::kOriginal},
      {"FailsAfterOneByte", {.file = form, .fail_after = 1}, eio, Outcome::kOriginal},
      {"FailsAfterOnePage", {.file = form, .fail_after = 4096}, eio, Outcome::kOriginal},
      {"FailsPastTheOldLength",
       {.file = form, .fail_after = kFormSize + 10},
       eio,
       Outcome::kOriginal},
      {"FailsOnTheLastByte", {.file = form, .fail_after = rewritten - 1}, eio, Outcome::kOriginal},
      {"DiskFillsMidway",
       {.file = form, .fail_after = 5000, .error = ENOSPC},
       "cannot write \"B.frm\": No space left on device",
       Outcome::kOriginal},
      {"ShortWritesOnly", {.file = form, .max_chunk = 777}, "", Outcome::kRepaired},
      {"ShortWritesThenFailure",
       {.file = form, .fail_after = 3000, .max_chunk = 512},
       eio,
       Outcome::kOriginal},
      {"Interrupted", {.file = form, .interruptions = 3}, "", Outcome::kRepaired},
      {"BackupCannotBeWritten",
       {.file = backup, .fail_after = 100, .error = ENOSPC},
       "cannot write \"B.frm\": cannot make its backup \"B.frm.plindor-backup\": No space left "
       "on device",
       Outcome::kOriginal},
      {"BackupShortWrites", {.file = backup, .max_chunk = 333}, "", Outcome::kRepaired},
  };
}

class WriteFailure : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteFailure, LeavesTheFormWholeAndStopsTheRun) {
  const WriteCase& c = GetParam();
  const TempDir dir;
  ProjectScenario scenario(dir.path(), kFormSize);
  repair::DiskFileSystem files;
  const WriteFault fault(c.plan);
  EXPECT_EQ(scenario.Run(files), c.message);
  scenario.Expect(c.b, !c.message.empty());
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
}

INSTANTIATE_TEST_SUITE_P(Seam, WriteFailure, ::testing::ValuesIn(WriteCases()),
                         [](const auto& row) { return row.param.name; });

// A double fault: the overwrite fails, then putting the original back fails too. The backup
// stays, the message names it, and the next run puts the form back from it and repairs it.
// The disk tears writes at its pages: here the form's second page ends where the rewrite,
// two bytes in, fails.
TEST(WriteFailure, RestoreFailingToo) {
  const TempDir dir;
  ProjectScenario scenario(dir.path(), kFormSize);
  repair::DiskFileSystem files;
  Arm({.file = "B.frm", .fail_after = 2 * 4096 - 2, .failures = 2});
  const std::string message = scenario.Run(files);
  Disarm();
  EXPECT_EQ(message,
            "cannot write \"B.frm\": Input/output error; putting back the original content of "
            "\"B.frm\" failed too: Input/output error; it is kept in its backup "
            "\"B.frm.plindor-backup\"");
  scenario.Expect(Outcome::kAnything, true);
  EXPECT_NE(ReadFile(scenario.b_path()), scenario.b());
  ASSERT_TRUE(std::filesystem::exists(scenario.b_backup()));

  repair::DiskFileSystem disk;
  EXPECT_EQ(scenario.Run(disk), "");
  EXPECT_EQ(ReadFile(scenario.b_path()), Repaired(scenario.b()));
  EXPECT_FALSE(std::filesystem::exists(scenario.b_backup()));
  EXPECT_NE(scenario.log().find("   fixing B.frm\r\n   put back \"B.frm\" from its backup "
                                "\"B.frm.plindor-backup\", left by an interrupted run\r\n"),
            std::string::npos)
      << scenario.log();
}

}  // namespace
}  // namespace plindor::testing
