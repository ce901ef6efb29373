#include "repair/path_resolver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "temp_dir.h"

namespace plindor::repair {
namespace {

using plindor::testing::CurrentDirectory;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

struct Case {
  const char* name;
  std::string asked;
  std::string found;  // relative to the project folder
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class ResolvePathTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    for (const char* file : {"Forms/Main.frm", "Forms/Sub Dir/Grid.frm", "Controls/User.CTL",
                             "exact.frm", "EXACT.frm", "a\\b.frm", "Plain.frm"}) {
      WriteFile(dir.path() / file, "x");
    }
  }
  TempDir dir;
};

TEST_P(ResolvePathTest, FindsTheFileAProjectMeans) {
  const CurrentDirectory cwd(dir.path());
  EXPECT_EQ(ResolvePath(GetParam().asked), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolvePathTest,
    ::testing::Values(Case{"AsWritten", "Plain.frm", "Plain.frm"},
                      Case{"Backslashes", "Forms\\Main.frm", "Forms/Main.frm"},
                      Case{"LetterCaseOfEveryElement", "FORMS\\main.FRM", "Forms/Main.frm"},
                      Case{"SpacesInsideElements", "forms\\sub dir\\GRID.frm",
                           "Forms/Sub Dir/Grid.frm"},
                      Case{"DotElements", ".\\Controls\\..\\controls\\user.ctl",
                           "./Controls/../Controls/User.CTL"},
                      Case{"ExactMatchWins", "exact.frm", "exact.frm"},
                      Case{"NameWithBackslashExistingAsWritten", "a\\b.frm", "a\\b.frm"},
                      Case{"MissingKeepsConvertedSeparators", "Forms\\Gone.frm", "Forms/Gone.frm"},
                      Case{"DriveLetterIsMissing", "E:\\Forms\\Main.frm", "E:/Forms/Main.frm"},
                      Case{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

TEST(ResolvePath, AbsolutePathsResolveFromTheRoot) {
  TempDir dir;
  WriteFile(dir.path() / "Forms/Main.frm", "x");
  std::string asked = (dir.path() / "forms/MAIN.frm").string();
  EXPECT_EQ(ResolvePath(asked), (dir.path() / "Forms/Main.frm").string());
}

TEST(ResolvePath, SeveralCaseInsensitiveMatchesAreAnError) {
  TempDir dir;
  WriteFile(dir.path() / "Main.frm", "x");
  WriteFile(dir.path() / "MAIN.frm", "x");
  const CurrentDirectory cwd(dir.path());
  try {
    ResolvePath("main.frm");
    FAIL() << "no error for an ambiguous name";
  } catch (const AmbiguousPathError& e) {
    EXPECT_STREQ(e.what(),
                 "several files match when letter case is ignored: \"MAIN.frm\", \"Main.frm\"");
  }
}

}  // namespace
}  // namespace plindor::repair
