#include "cli/unified_diff.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace plindor::cli {
namespace {

struct DiffCase {
  const char* name;
  std::string before;
  std::string after;
  std::string diff;
};

void PrintTo(const DiffCase& row, std::ostream* out) { *out << row.name; }

class UnifiedDiffTest : public ::testing::TestWithParam<DiffCase> {};

TEST_P(UnifiedDiffTest, MatchesTheUnifiedFormat) {
  EXPECT_EQ(UnifiedDiff("f.frm", GetParam().before, GetParam().after), GetParam().diff);
}

const std::string kHeader = "--- f.frm\n+++ f.frm\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, UnifiedDiffTest,
    ::testing::Values(
        DiffCase{"EqualTextsGiveNothing", "a\nb\n", "a\nb\n", ""},
        DiffCase{"BothEmptyGiveNothing", "", "", ""},
        // Lines far from a change are left out; three lines of context stay on each side.
        DiffCase{"OneChangeWithContext", "1\n2\n3\n4\n5\n6\n7\n8\n9\n",
                 "1\n2\n3\n4\nfive\n6\n7\n8\n9\n",
                 kHeader + "@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n"},
        // Changes more than six lines apart make two hunks.
        DiffCase{
            "DistantChangesMakeTwoHunks", "a\n1\n2\n3\n4\n5\n6\n7\nb\n",
            "A\n1\n2\n3\n4\n5\n6\n7\nB\n",
            kHeader + "@@ -1,4 +1,4 @@\n-a\n+A\n 1\n 2\n 3\n@@ -6,4 +6,4 @@\n 5\n 6\n 7\n-b\n+B\n"},
        // CR and NUL are ordinary bytes of a line.
        DiffCase{"KeepsCarriageReturnsAndNulBytes", std::string("x\r\ny\0z\r\n", 8),
                 std::string("x\r\nY\0z\r\n", 8),
                 kHeader + "@@ -1,2 +1,2 @@\n x\r\n" + std::string("-y\0z\r\n+Y\0z\r\n", 12)},
        DiffCase{"MarksALastLineWithoutLineEnd", "a\nold", "a\nnew",
                 kHeader + "@@ -1,2 +1,2 @@\n a\n-old\n\\ No newline at end of file\n+new\n"
                           "\\ No newline at end of file\n"},
        DiffCase{"AddingTheLastLineEndIsAChange", "a\nb", "a\nb\n",
                 kHeader + "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
        // Line counts the repair never changes: one hunk replaces every line.
        DiffCase{"OtherLineCount", "1\n2\n", "1\nx\n2\n",
                 kHeader + "@@ -1,2 +1,3 @@\n-1\n-2\n+1\n+x\n+2\n"},
        DiffCase{"FromEmpty", "", "a\n", kHeader + "@@ -0,0 +1 @@\n+a\n"}),
    [](const ::testing::TestParamInfo<DiffCase>& row) { return std::string(row.param.name); });

// No name can end its header line early or be read back as another.
TEST(QuotedDiffName, EscapesWhatWouldBreakTheHeaderTheWayGnuDiffDoes) {
  struct Row {
    std::string name, quoted;
  };
  for (const Row& row : {
           Row{"Forms/Main.frm", "Forms/Main.frm"},
           Row{"with space.frm", "with space.frm"},
           Row{"a\n--- .profile", "\"a\\n--- .profile\""},
           Row{"tab\there", "\"tab\\there\""},
           Row{"say \"hi\"", "\"say \\\"hi\\\"\""},
           Row{"back\\slash", "\"back\\\\slash\""},
           Row{"\x1b[2J", "\"\\033[2J\""},
           Row{"caf\xc3\xa9", "\"caf\\303\\251\""},
       }) {
    EXPECT_EQ(QuotedDiffName(row.name), row.quoted);
  }
}

}  // namespace
}  // namespace plindor::cli
