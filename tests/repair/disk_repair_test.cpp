// The whole repair on real files, as a user's project lays them out.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>
#include <string>

#include "memory_file_system.h"
#include "repair/disk_file_system.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "temp_dir.h"

namespace plindor::repair {
namespace {

using plindor::testing::ReadFile;
using plindor::testing::StringLog;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

const std::string kOldForm =
    "VERSION 5.00\r\n"
    "Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "Begin VB.Form Form1\r\n"
    "   Begin ComctlLib.ListView ListView1\r\n"
    "   End\r\n"
    "End\r\n";
const std::string kNewForm =
    "VERSION 5.00\r\n"
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "Begin VB.Form Form1\r\n"
    "   Begin MSComctlLib.ListView ListView1\r\n"
    "   End\r\n"
    "End\r\n";

class DiskRepairTest : public ::testing::Test {
 protected:
  TempDir dir;
  DiskFileSystem files;
  StringLog log;
  // Component paths resolve against the project's folder, wherever the tests run.
  Repairer repairer{files, log, dir.path().string()};
};

struct LineEnds {
  const char* name;
  const char* end;
};

void PrintTo(const LineEnds& row, std::ostream* out) { *out << row.name; }

class ProjectLineEnds : public DiskRepairTest, public ::testing::WithParamInterface<LineEnds> {};

// Projects checked out on Linux often have LF-only line ends; their entries must still be found.
TEST_P(ProjectLineEnds, RepairsEveryListedComponent) {
  const std::string eol = GetParam().end;
  const std::string project = "Type=Exe" + eol +
                              "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX" +
                              eol + "FORM=Forms\\MAIN.FRM" + eol + "Module=Util; Util.bas" + eol +
                              "UserControl=controls\\Grid.ctl" + eol + "form=about.frm" + eol;
  WriteFile(dir.path() / "App.vbp", project);
  WriteFile(dir.path() / "Forms/Main.frm", kOldForm);
  WriteFile(dir.path() / "Controls/Grid.ctl", kOldForm);
  WriteFile(dir.path() / "About.frm", kOldForm);
  WriteFile(dir.path() / "Util.bas", kOldForm);

  repairer.FixProjectFile(dir / "App.vbp");

  EXPECT_EQ(log.text, "Fixing " + (dir / "App.vbp") +
                          "\r\n"
                          "   fixing Forms\\MAIN.FRM\r\n"
                          "   fixing controls\\Grid.ctl\r\n"
                          "   fixing about.frm\r\n");
  std::string repaired_project = project;
  repaired_project.replace(repaired_project.find("6B7E6392-850A-101B-AFC0-4210102A8DA7"), 36,
                           "831FDD16-0C5C-11D2-A9FC-0000F8754DA1");
  EXPECT_EQ(ReadFile(dir.path() / "App.vbp"), repaired_project);
  EXPECT_EQ(ReadFile(dir.path() / "Forms/Main.frm"), kNewForm);
  EXPECT_EQ(ReadFile(dir.path() / "Controls/Grid.ctl"), kNewForm);
  EXPECT_EQ(ReadFile(dir.path() / "About.frm"), kNewForm);
  EXPECT_EQ(ReadFile(dir.path() / "Util.bas"), kOldForm);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProjectLineEnds,
                         ::testing::Values(LineEnds{"CrLf", "\r\n"}, LineEnds{"LfOnly", "\n"}),
                         [](const ::testing::TestParamInfo<LineEnds>& row) {
                           return std::string(row.param.name);
                         });

TEST_F(DiskRepairTest, ComponentWithLfLineEndsKeepsThem) {
  std::string lf_form = kOldForm;
  for (std::size_t at; (at = lf_form.find("\r\n")) != std::string::npos;) lf_form.erase(at, 1);
  WriteFile(dir.path() / "a.frm", lf_form);
  repairer.FixComponentFile("a.frm");
  std::string expected = kNewForm;
  for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.erase(at, 1);
  EXPECT_EQ(ReadFile(dir.path() / "a.frm"), expected);
}

struct BadEntry {
  const char* name;
  const char* entry;
  const char* message;
};

void PrintTo(const BadEntry& row, std::ostream* out) { *out << row.name; }

class UnusableComponent : public DiskRepairTest, public ::testing::WithParamInterface<BadEntry> {
 protected:
  void SetUp() override {
    WriteFile(dir.path() / "First.frm", kOldForm);
    WriteFile(dir.path() / "Last.frm", kOldForm);
    std::filesystem::create_directory(dir.path() / "Folder.frm");
    ASSERT_EQ(::mkfifo((dir / "Pipe.frm").c_str(), 0600), 0);
  }
};

// The walk stops at the entry with the engine's message; what came before stays repaired and
// what comes after is left alone.
TEST_P(UnusableComponent, StopsTheRepairThere) {
  WriteFile(dir.path() / "App.vbp",
            std::string("Form=First.frm\r\nForm=") + GetParam().entry + "\r\nForm=Last.frm\r\n");
  std::string message;
  try {
    repairer.FixProjectFile(dir / "App.vbp");
  } catch (const RepairError& e) {
    message = e.what();
  }
  EXPECT_EQ(message, GetParam().message);
  EXPECT_EQ(log.text, "Fixing " + (dir / "App.vbp") + "\r\n   fixing First.frm\r\n   fixing " +
                          GetParam().entry + "\r\n");
  EXPECT_EQ(ReadFile(dir.path() / "First.frm"), kNewForm);
  EXPECT_EQ(ReadFile(dir.path() / "Last.frm"), kOldForm);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableComponent,
    ::testing::Values(
        BadEntry{"Missing", "Forms\\Missing.frm",
                 "cannot open \"Forms\\Missing.frm\" for reading: No such file or directory"},
        BadEntry{"Directory", "folder.frm",
                 "cannot open \"folder.frm\" for reading: Is a directory"},
        BadEntry{"Fifo", "Pipe.frm", "cannot open \"Pipe.frm\" for reading: not a regular file"},
        BadEntry{"DriveLetter", "C:\\First.frm",
                 "cannot open \"C:\\First.frm\" for reading: No such file or directory"},
        BadEntry{"Empty", "", "cannot open \"\" for reading: No such file or directory"},
        BadEntry{"Device", "/dev/null",
                 "cannot open \"/dev/null\" for reading: not a regular file"},
        BadEntry{"PseudoFile", "/proc/self/comm",
                 "cannot open \"/proc/self/comm\" for writing: not a file on a disk"}),
    [](const ::testing::TestParamInfo<BadEntry>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace plindor::repair
