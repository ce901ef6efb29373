#include "repair/path_resolver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "temp_dir.h"

namespace plindor::repair {
namespace {

using plindor::testing::TempDir;
using plindor::testing::WriteFile;

// Where `asked` leads from `base`, or the reason it leads nowhere.
std::string Resolve(const std::string& base, const std::string& asked) {
  ResolvedPath found;
  if (const Status status = ResolvePath(base, asked, found); !status.ok()) return status.reason();
  return found.location;
}

struct Case {
  const char* name;
  std::string asked;
  std::string found;  // relative to the project folder, or the system's reason
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class ResolvePathTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Forms/Main.frm", "Forms/Sub Dir/Grid.frm", "Controls/User.CTL", "exact.frm", "EXACT.frm",
          "a\\b.frm", "Plain.frm", "E:/Forms/Main.frm"}) {
      WriteFile(dir.path() / file, "x");
    }
  }
  TempDir dir;
};

TEST_P(ResolvePathTest, FindsTheFileAProjectMeans) {
  const std::string base = dir.path().string();
  const std::string found = Resolve(base, GetParam().asked);
  const std::string expected = GetParam().found;
  EXPECT_EQ(found, expected.find('.') == std::string::npos ? expected : base + "/" + expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolvePathTest,
    ::testing::Values(
        Case{"AsWritten", "Plain.frm", "Plain.frm"},
        Case{"Backslashes", "Forms\\Main.frm", "Forms/Main.frm"},
        Case{"LetterCaseOfEveryElement", "FORMS\\main.FRM", "Forms/Main.frm"},
        Case{"SpacesInsideElements", "forms\\sub dir\\GRID.frm", "Forms/Sub Dir/Grid.frm"},
        Case{"DotElements", ".\\Controls\\..\\controls\\user.ctl", "Controls/../Controls/User.CTL"},
        Case{"ExactMatchWins", "exact.frm", "exact.frm"},
        Case{"NameWithBackslashExistingAsWritten", "a\\b.frm", "a\\b.frm"},
        Case{"Missing", "Forms\\Gone.frm", "No such file or directory"},
        Case{"MissingFolder", "Gone\\Main.frm", "No such file or directory"},
        Case{"FileUsedAsFolder", "Plain.frm/x.frm", "Not a directory"},
        Case{"DriveLetterIsMissing", "E:\\Forms\\Main.frm", "No such file or directory"},
        Case{"Empty", "", "No such file or directory"}),
    [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

TEST(ResolvePath, AbsolutePathsIgnoreTheBase) {
  TempDir dir;
  WriteFile(dir.path() / "Forms/Main.frm", "x");
  EXPECT_EQ(Resolve("/nowhere", dir / "forms/MAIN.frm"), dir / "Forms/Main.frm");
}

TEST(ResolvePath, SeveralCaseInsensitiveMatchesAreAnError) {
  TempDir dir;
  WriteFile(dir.path() / "Sub/Main.frm", "x");
  WriteFile(dir.path() / "Sub/MAIN.frm", "x");
  EXPECT_EQ(Resolve(dir.path().string(), "sub\\main.frm"),
            "several files match when letter case is ignored: \"Sub/MAIN.frm\", "
            "\"Sub/Main.frm\"");
}

// A walk that re-read the path from its start at every element took minutes on these.
TEST(ResolvePath, MegabytePathsTakeOneWalk) {
  TempDir dir;
  WriteFile(dir.path() / "Plain.frm", "x");
  std::string dots;
  while (dots.size() < (1 << 20)) dots += "./";
  EXPECT_EQ(Resolve(dir.path().string(), dots + "Plain.frm"), dir / "Plain.frm");
  EXPECT_EQ(Resolve(dir.path().string(), dots + "Gone.frm"), "No such file or directory");

  // Above the root, ".." stays at the root.
  std::string ups;
  while (ups.size() < (1 << 20)) ups += "..\\";
  const std::string found =
      Resolve(dir.path().string(), ups + dir.path().relative_path().string() + "/Plain.frm");
  EXPECT_EQ(std::filesystem::path(found).lexically_normal(), dir.path() / "Plain.frm");
}

}  // namespace
}  // namespace plindor::repair
