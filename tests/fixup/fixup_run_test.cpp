#include "fixup/fixup_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>

#include "memory_file_system.h"

namespace plindor::fixup {
namespace {

struct RunCase {
  const char* name;
  std::string project;  // the text of /p/App.vbp; /p/Main.frm and /p/Later.frm exist
  std::string log;
  std::optional<std::string> failure;
};

void PrintTo(const RunCase& row, std::ostream* out) { *out << row.name; }

class FixupRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(FixupRunTest, RepairsUpToTheFirstFailureAndClosesTheLog) {
  const RunCase& row = GetParam();
  testing::MemoryFileSystem files;
  files.files = {{"/p/App.vbp", row.project}, {"/p/Main.frm", "x"}, {"/p/Later.frm", "x"}};
  testing::StringLog log;

  const std::optional<std::string> failure = Fixup(files, log, "/p/App.vbp");
  CloseRun(log, failure);

  EXPECT_EQ(failure, row.failure);
  EXPECT_EQ(log.text, row.log);
  // Nothing after a failure is even opened.
  EXPECT_EQ(std::count(files.operations.begin(), files.operations.end(), "open Later.frm"),
            row.failure ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Projects, FixupRunTest,
    ::testing::Values(
        RunCase{"Repaired", "Form=Main.frm\r\nForm=Later.frm\r\n",
                "Fixing /p/App.vbp\r\n   fixing Main.frm\r\n   fixing Later.frm\r\n"
                "Fixup completed.\r\n",
                std::nullopt},
        RunCase{"StopsAtAMissingForm", "Form=Main.frm\r\nForm=Gone.frm\r\nForm=Later.frm\r\n",
                "Fixing /p/App.vbp\r\n   fixing Main.frm\r\n   fixing Gone.frm\r\n"
                "Error: cannot open \"Gone.frm\" for reading: No such file or directory\r\n"
                "Fixup stopped.\r\n",
                "cannot open \"Gone.frm\" for reading: No such file or directory"}),
    [](const ::testing::TestParamInfo<RunCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace plindor::fixup
