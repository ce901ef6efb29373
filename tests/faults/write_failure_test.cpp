// Writes that fail or fall short partway through a form, through the pwrite seam.
#include <gtest/gtest.h>

#include <cerrno>
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
  const std::size_t repaired_size = Repaired(OldForm(kFormSize)).size();
  const std::string eio = "cannot write \"B.frm\": Input/output error";
  return {
      {"FailsBeforeTheFirstByte", {.fail_after = 0}, eio, Outcome::kOriginal},
      {"FailsAfterOneByte", {.fail_after = 1}, eio, Outcome::kOriginal},
      {"FailsAfterOnePage", {.fail_after = 4096}, eio, Outcome::kOriginal},
      {"FailsPastTheOldLength", {.fail_after = kFormSize + 10}, eio, Outcome::kOriginal},
      {"FailsOnTheLastByte", {.fail_after = repaired_size - 1}, eio, Outcome::kOriginal},
      {"DiskFillsMidway",
       {.fail_after = 5000, .error = ENOSPC},
       "cannot write \"B.frm\": No space left on device",
       Outcome::kOriginal},
      {"ShortWritesOnly", {.max_chunk = 777}, "", Outcome::kRepaired},
      {"ShortWritesThenFailure", {.fail_after = 3000, .max_chunk = 512}, eio, Outcome::kOriginal},
      {"Interrupted", {.interruptions = 3}, "", Outcome::kRepaired},
      // A double fault: the original can't be put back either, and the message says so.
      {"RestoringFailsToo",
       {.fail_after = 5000, .failures = 2},
       eio + "; putting its original content back failed too: Input/output error",
       Outcome::kAnything},
  };
}

class WriteFailure : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteFailure, LeavesTheFormWholeAndStopsTheRun) {
  const WriteCase& c = GetParam();
  const TempDir dir;
  ProjectScenario scenario(dir.path(), kFormSize);
  HookedFileSystem files([&](const std::string& path, repair::IoMode mode) {
    if (path == "B.frm" && mode == repair::IoMode::kForWriting) Arm(c.plan);
  });
  const std::string message = scenario.Run(files);
  Disarm();
  EXPECT_EQ(message, c.message);
  scenario.Expect(c.b, !c.message.empty());
}

INSTANTIATE_TEST_SUITE_P(Seam, WriteFailure, ::testing::ValuesIn(WriteCases()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace plindor::testing
