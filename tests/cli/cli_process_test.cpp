// Runs the built plindor-cli as a user would, on trees of sample projects.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <version/version_record.h>

#include "repair/rules.h"
#include "run_program.h"
#include "temp_dir.h"

namespace plindor::cli {
namespace {

namespace fs = std::filesystem;
using plindor::testing::ProgramResult;
using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;
using ::testing::HasSubstr;

ProgramResult Cli(const std::vector<std::string>& args, const fs::path& cwd,
                  plindor::testing::RunOptions options = {}) {
  return plindor::testing::RunProgram(PLINDOR_CLI_BINARY, args, cwd, options);
}

const std::string kOldCommonControls =
    "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX\r\n";
const std::string kOldChart =
    "Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; MSCHRT20.OCX\r\n";
const std::string kOldForm =
    "VERSION 5.00\r\n"
    "Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "Begin VB.Form Main\r\n"
    "   Begin ComctlLib.ListView List1\r\n"
    "   End\r\n"
    "   Begin comctllib.StatusBar Status1\r\n"
    "   End\r\n"
    "   Begin MSChartLib.MSChart Chart1\r\n"
    "   End\r\n"
    "End\r\n";
const std::string kCleanForm = "VERSION 5.00\r\nBegin VB.Form About\r\nEnd\r\n";
const std::string kOldControl =
    "VERSION 5.00\r\n"
    "Object = \"{FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0\"; \"MSCOMCT2.OCX\"\r\n"
    "Begin VB.UserControl Gauge\r\n"
    "   Begin Comctl2.UpDown Spin1\r\n"
    "   End\r\n"
    "End\r\n";

// Two projects side by side: "healthy" with a form in a subfolder named the Windows way, and
// "broken", whose second form is missing.
class SampleTree : public ::testing::Test {
 protected:
  SampleTree() {
    WriteFile(root.path() / "healthy/Healthy.vbp",
              "Type=Exe\r\n" + kOldCommonControls + kOldChart +
                  "Form=Main.frm\r\nForm=Forms\\About.frm\r\nUserControl=Gauge.ctl\r\n"
                  "Name=\"Healthy\"\r\n");
    WriteFile(root.path() / "healthy/Main.frm", kOldForm);
    WriteFile(root.path() / "healthy/Forms/About.frm", kCleanForm);
    WriteFile(root.path() / "healthy/Gauge.ctl", kOldControl);
    WriteFile(root.path() / "broken/Broken.vbp",
              "Type=Exe\r\n" + kOldCommonControls +
                  "Form=Start.frm\r\nForm=Missing.frm\r\nForm=Later.frm\r\n");
    WriteFile(root.path() / "broken/Start.frm", kOldForm);
    WriteFile(root.path() / "broken/Later.frm", kOldForm);
  }

  std::string At(const std::string& relative) const { return (root.path() / relative).string(); }

  // Every file of the tree with its bytes and modification time.
  std::map<std::string, std::pair<std::string, struct timespec>> Snapshot() const {
    std::map<std::string, std::pair<std::string, struct timespec>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
      if (!entry.is_regular_file()) continue;
      struct stat info {};
      if (::stat(entry.path().c_str(), &info) != 0) ADD_FAILURE() << entry.path();
      files[entry.path().string()] = {ReadFile(entry.path()), info.st_mtim};
    }
    return files;
  }

  TempDir root;
};

bool operator==(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string Repaired(const std::string& text, bool project) {
  return project ? repair::ApplyRules(text, repair::kProjectRules)
                 : repair::ApplyRules(text, repair::kComponentRules);
}

TEST_F(SampleTree, RepairsTheHealthyProjectAndReportsTheBrokenOne) {
  const std::string healthy = ReadFile(At("healthy/Healthy.vbp"));
  const ProgramResult result = Cli({"healthy/Healthy.vbp", "broken/Broken.vbp"}, root.path());

  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Fixing " + At("healthy/Healthy.vbp") +
                            "\n"
                            "   fixing Main.frm\n"
                            "   fixing Forms\\About.frm\n"
                            "   fixing Gauge.ctl\n"
                            "Fixup completed.\n"
                            "Fixing " +
                            At("broken/Broken.vbp") +
                            "\n"
                            "   fixing Start.frm\n"
                            "   fixing Missing.frm\n"
                            "Error: cannot open \"Missing.frm\" for reading: No such file or "
                            "directory\n"
                            "Fixup stopped.\n");
  EXPECT_EQ(result.err, "");

  EXPECT_EQ(ReadFile(At("healthy/Healthy.vbp")), Repaired(healthy, true));
  EXPECT_EQ(ReadFile(At("healthy/Main.frm")), Repaired(kOldForm, false));
  EXPECT_EQ(ReadFile(At("healthy/Forms/About.frm")), kCleanForm);
  EXPECT_EQ(ReadFile(At("healthy/Gauge.ctl")), Repaired(kOldControl, false));
  // The broken project stops at the missing form: what came before is repaired, not what after.
  EXPECT_EQ(ReadFile(At("broken/Start.frm")), Repaired(kOldForm, false));
  EXPECT_EQ(ReadFile(At("broken/Later.frm")), kOldForm);
}

TEST_F(SampleTree, QuietPrintsOnlyTheFailedProject) {
  const ProgramResult result = Cli({"--quiet", "--recursive", "."}, root.path());

  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Fixing " + At("broken/Broken.vbp") +
                            "\n"
                            "   fixing Start.frm\n"
                            "   fixing Missing.frm\n"
                            "Error: cannot open \"Missing.frm\" for reading: No such file or "
                            "directory\n"
                            "Fixup stopped.\n");
  EXPECT_EQ(ReadFile(At("healthy/Main.frm")), Repaired(kOldForm, false));
}

// How often `needle` occurs in `text`, exactly as written.
std::size_t Occurrences(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

TEST_F(SampleTree, DryRunChangesNothingAndCountsWhatARealRunThenChanges) {
  const auto before = Snapshot();
  const ProgramResult dry = Cli({"--dry-run", "--recursive", "."}, root.path());
  EXPECT_EQ(dry.exit_status, 1);
  const auto after_dry_run = Snapshot();
  ASSERT_EQ(after_dry_run.size(), before.size());
  for (const auto& [path, content] : before) {
    EXPECT_EQ(after_dry_run.at(path).first, content.first) << path;
    EXPECT_TRUE(after_dry_run.at(path).second == content.second) << "modification time of " << path;
  }
  EXPECT_THAT(dry.out, HasSubstr("   fixing Gauge.ctl\nWould change " + At("healthy/Healthy.vbp") +
                                 ": project rules 1 x1, 3 x1\n"));
  EXPECT_THAT(dry.out, HasSubstr("Would change Main.frm: component rules 1 x1, 2 x2, 6 x1\n"
                                 "Unchanged: Forms\\About.frm\n"
                                 "Would change Gauge.ctl: component rules 3 x1, 4 x1\n"
                                 "Fixup completed.\n"));
  // Up to its failure the broken project would be changed as well.
  EXPECT_THAT(dry.out, HasSubstr("Would change Start.frm: component rules 1 x1, 2 x2, 6 x1\n"
                                 "Error: cannot open \"Missing.frm\""));

  // Collect the reported counts, then check them against what a real run changes: each
  // replacement inserts its replacement text once.
  std::string folder;
  std::map<std::string, std::string> reports;  // file under the root -> counts ("" unchanged)
  // The file a report line names, as a path under the root.
  const auto under_root = [&](std::string file) {
    if (fs::path(file).is_absolute())
      return fs::path(file).lexically_relative(root.path()).string();
    std::replace(file.begin(), file.end(), '\\', '/');
    return folder + file;
  };
  std::istringstream lines(dry.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Fixing ")) {
      folder = fs::path(line.substr(7)).parent_path().lexically_relative(root.path()).string();
      folder += "/";
    } else if (line.starts_with("Would change ")) {
      const std::size_t colon = line.rfind(": ");
      reports[under_root(line.substr(13, colon - 13))] = line.substr(colon + 2);
    } else if (line.starts_with("Unchanged: ")) {
      reports[under_root(line.substr(11))] = "";
    }
  }
  ASSERT_EQ(reports.size(), 6u) << dry.out;

  const ProgramResult real = Cli({"--recursive", "."}, root.path());
  EXPECT_EQ(real.exit_status, 1);
  for (const auto& [file, report] : reports) {
    const std::string old_text = before.at(At(file)).first;
    const std::string new_text = ReadFile(At(file));
    if (report.empty()) {
      EXPECT_EQ(new_text, old_text) << file;
      continue;
    }
    const bool project = file.ends_with(".vbp");
    const auto& table = project ? std::span<const repair::Rule>(repair::kProjectRules)
                                : std::span<const repair::Rule>(repair::kComponentRules);
    std::string changed;
    for (std::size_t i = 0; i < table.size(); ++i) {
      const std::size_t inserted =
          Occurrences(new_text, table[i].replacement) - Occurrences(old_text, table[i].replacement);
      if (inserted == 0) continue;
      changed += changed.empty() ? (project ? "project rules " : "component rules ") : ", ";
      changed += std::to_string(i + 1) + " x" + std::to_string(inserted);
    }
    EXPECT_EQ(changed, report) << file;
  }
}

TEST_F(SampleTree, DiffShowsWhatWouldChangeAndWritesNothing) {
  const auto before = Snapshot();
  const ProgramResult result = Cli({"--diff", "healthy/Healthy.vbp"}, root.path());

  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Snapshot().size(), before.size());
  for (const auto& [path, content] : Snapshot()) EXPECT_EQ(content.first, before.at(path).first);
  EXPECT_EQ(result.out,
            "--- healthy/Healthy.vbp\n"
            "+++ healthy/Healthy.vbp\n"
            "@@ -1,6 +1,6 @@\n"
            " Type=Exe\r\n"
            "-Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX\r\n"
            "-Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; MSCHRT20.OCX\r\n"
            "+Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
            "+Object={65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0; MSChrt20.OCX\r\n"
            " Form=Main.frm\r\n"
            " Form=Forms\\About.frm\r\n"
            " UserControl=Gauge.ctl\r\n"
            "--- healthy/Main.frm\n"
            "+++ healthy/Main.frm\n"
            "@@ -1,10 +1,10 @@\n"
            " VERSION 5.00\r\n"
            "-Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
            "+Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
            " Begin VB.Form Main\r\n"
            "-   Begin ComctlLib.ListView List1\r\n"
            "+   Begin MSComctlLib.ListView List1\r\n"
            "    End\r\n"
            "-   Begin comctllib.StatusBar Status1\r\n"
            "+   Begin MSComctlLib.StatusBar Status1\r\n"
            "    End\r\n"
            "-   Begin MSChartLib.MSChart Chart1\r\n"
            "+   Begin MSChart20Lib.MSChart Chart1\r\n"
            "    End\r\n"
            " End\r\n"
            "--- healthy/Gauge.ctl\n"
            "+++ healthy/Gauge.ctl\n"
            "@@ -1,6 +1,6 @@\n"
            " VERSION 5.00\r\n"
            "-Object = \"{FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0\"; \"MSCOMCT2.OCX\"\r\n"
            "+Object = \"{86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCT2.OCX\"\r\n"
            " Begin VB.UserControl Gauge\r\n"
            "-   Begin Comctl2.UpDown Spin1\r\n"
            "+   Begin MSComctl2.UpDown Spin1\r\n"
            "    End\r\n"
            " End\r\n");
}

TEST_F(SampleTree, DiffKeepsFailuresOffStandardOutput) {
  const ProgramResult result = Cli({"--diff", "broken/Broken.vbp"}, root.path());

  EXPECT_EQ(result.exit_status, 1);
  EXPECT_THAT(result.out, HasSubstr("+++ broken/Start.frm\n"));
  EXPECT_THAT(result.out, ::testing::Not(HasSubstr("Error")));
  EXPECT_THAT(result.err, HasSubstr("Error: cannot open \"Missing.frm\" for reading"));
  EXPECT_THAT(result.err, ::testing::EndsWith("Fixup stopped.\n"));
}

TEST(Recursive, FindsProjectsInAnyLetterCaseInSortedOrder) {
  const TempDir root;
  WriteFile(root.path() / "b/lower.vbp", "Type=Exe\r\n");
  WriteFile(root.path() / "a/deep/er/Upper.VBP", "Type=Exe\r\n");
  WriteFile(root.path() / "a/Mixed.Vbp", "Type=Exe\r\n");
  WriteFile(root.path() / "a/notes.txt", "Form=x.frm\r\n");
  WriteFile(root.path() / "a/App.vbp.bak", "Form=x.frm\r\n");
  fs::create_directories(root.path() / "c/folder.vbp");

  const ProgramResult result = Cli({"--recursive", root.path().string()}, "/");

  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, "Fixing " + root / "a/Mixed.Vbp" + "\nFixup completed.\nFixing " +
                            root / "a/deep/er/Upper.VBP" + "\nFixup completed.\nFixing " +
                            root / "b/lower.vbp" + "\nFixup completed.\n");
}

TEST(Recursive, SaysSoWhenAFolderHoldsNoProject) {
  const TempDir root;
  const ProgramResult result = Cli({"-r", "."}, root.path());
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "No project files found in .\n");
}

// A tree of files as test data: path under the root, bytes.
using Tree = std::vector<std::pair<std::string, std::string>>;

struct CheckCase {
  const char* name;
  Tree tree;
  std::vector<std::string> args;
  int exit_status;
  std::string out;  // the files listed
  std::string err;
};

void PrintTo(const CheckCase& row, std::ostream* out) { *out << row.name; }

class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, ListsWhatWouldChangeAndTouchesNothing) {
  const CheckCase& row = GetParam();
  const TempDir root;
  // Old times, so that any write at all would show.
  const struct timespec old_times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  for (const auto& [path, bytes] : row.tree) {
    WriteFile(root.path() / path, bytes);
    ASSERT_EQ(::utimensat(AT_FDCWD, (root / path).c_str(), old_times, 0), 0);
  }

  const ProgramResult result = Cli(row.args, root.path());

  EXPECT_EQ(result.exit_status, row.exit_status);
  EXPECT_EQ(result.out, row.out);
  EXPECT_EQ(result.err, row.err);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
    if (entry.is_regular_file()) ++files;
  }
  EXPECT_EQ(files, row.tree.size());
  for (const auto& [path, bytes] : row.tree) {
    EXPECT_EQ(ReadFile(root.path() / path), bytes) << path;
    struct stat info {};
    ASSERT_EQ(::stat((root / path).c_str(), &info), 0);
    EXPECT_TRUE(info.st_mtim == old_times[1]) << "modification time of " << path;
  }
}

const std::string kCleanProject = "Type=Exe\r\nForm=Forms\\About.frm\r\n";
const std::string kDirtyProject = "Type=Exe\r\n" + kOldCommonControls + "Form=About.frm\r\n";

INSTANTIATE_TEST_SUITE_P(
    Projects, Check,
    ::testing::Values(
        CheckCase{"Clean",
                  {{"app/App.vbp", kCleanProject}, {"app/Forms/About.frm", kCleanForm}},
                  {"--check", "app/App.vbp"},
                  0,
                  "",
                  ""},
        CheckCase{"OneFormNeedsRepair",
                  {{"app/App.vbp", "Form=forms\\main.FRM\r\nForm=About.frm\r\n"},
                   {"app/Forms/Main.frm", kOldForm},
                   {"app/About.frm", kCleanForm}},
                  {"--check", "--codepage", "1250", "./app/App.vbp"},
                  1,
                  "app/Forms/Main.frm\n",
                  "1 file in 1 project needs repair; repair with: plindor-cli --codepage 1250 "
                  "./app/App.vbp\n"},
        CheckCase{"OnlyTheProjectNeedsRepair",
                  {{"App.vbp", kDirtyProject}, {"About.frm", kCleanForm}},
                  {"App.vbp", "--check"},
                  1,
                  "App.vbp\n",
                  "1 file in 1 project needs repair; repair with: plindor-cli App.vbp\n"},
        CheckCase{"MissingForm",
                  {{"App.vbp", "Form=Main.frm\r\nForm=Gone.frm\r\nForm=Later.frm\r\n"},
                   {"Main.frm", kOldForm},
                   {"Later.frm", kOldForm}},
                  {"--check", "App.vbp"},
                  1,
                  "",
                  "Error: App.vbp: cannot open \"Gone.frm\" for reading: No such file or "
                  "directory\n"
                  "1 project could not be checked\n"},
        // The repair command names only what it can repair, each once, and only as a shell
        // reads it; no name can start a line.
        CheckCase{"AFailingProjectBesideOnesToRepair",
                  {{"a/App.vbp", kDirtyProject},
                   {"a/About.frm", kCleanForm},
                   {"b\x1b[2J\nc/App.vbp", "Form=Main.frm\r\nForm=Gone.frm\r\n"},
                   {"b\x1b[2J\nc/Main.frm", kOldForm},
                   {"d\ne/App.vbp", kDirtyProject},
                   {"d\ne/About.frm", kCleanForm}},
                  {"--check", "-r", ".", "a"},
                  1,
                  "a/App.vbp\nd\\ne/App.vbp\n",
                  "Error: b\\e[2J\\nc/App.vbp: cannot open \"Gone.frm\" for reading: No such "
                  "file or directory\n"
                  "2 files in 2 projects need repair; 1 project could not be checked; repair "
                  "with: plindor-cli a/App.vbp; 1 path to repair by name, which no command here "
                  "can spell as it is\n"},
        CheckCase{
            "TreeWithACleanAndADirtyProject",
            {{"my tree/clean/App.vbp", kCleanProject},
             {"my tree/clean/Forms/About.frm", kCleanForm},
             {"my tree/dirty/App.vbp", kDirtyProject + "UserControl=Gauge.ctl\r\n"},
             {"my tree/dirty/About.frm", kCleanForm},
             {"my tree/dirty/Gauge.ctl", kOldControl}},
            {"--check", "--recursive", "my tree"},
            1,
            "my tree/dirty/App.vbp\nmy tree/dirty/Gauge.ctl\n",
            "2 files in 1 project need repair; repair with: plindor-cli --recursive 'my tree'\n"},
        CheckCase{"GroupAsSavedListsItsProjectsFromItsFolder",
                  {{"grp/Tools.vbg",
                    "VBGROUP 5.0\r\nStartupProject=App\\App.vbp\r\nProject=..\\LIB\\lib.VBP\r\n"},
                   {"grp/App/App.vbp", kDirtyProject},
                   {"grp/App/About.frm", kCleanForm},
                   {"Lib/Lib.vbp", "Type=Control\r\nUserControl=Gauge.ctl\r\n"},
                   {"Lib/Gauge.ctl", kOldControl}},
                  {"--check", "grp/Tools.vbg"},
                  1,
                  "grp/App/App.vbp\ngrp/../Lib/Gauge.ctl\n",
                  "2 files in 2 projects need repair; repair with: plindor-cli grp/Tools.vbg\n"},
        CheckCase{"QuietShowsOnlyFailures",
                  {{"a/App.vbp", kDirtyProject},
                   {"a/About.frm", kCleanForm},
                   {"b/App.vbp", "Form=Gone.frm\r\n"}},
                  {"--check", "--quiet", "-r", "."},
                  1,
                  "",
                  "Error: b/App.vbp: cannot open \"Gone.frm\" for reading: No such file or "
                  "directory\n"}),
    [](const ::testing::TestParamInfo<CheckCase>& row) { return std::string(row.param.name); });

// Each project once, whichever name reaches it; one missing fails alone; the group is only read.
TEST(Group, RepairsEachProjectItListsOnce) {
  const TempDir root;
  WriteFile(root.path() / "grp/App/App.vbp", kDirtyProject);
  WriteFile(root.path() / "grp/App/About.frm", kCleanForm);
  WriteFile(root.path() / "Lib/Lib.vbp", "Type=Control\r\nUserControl=Gauge.ctl\r\n");
  WriteFile(root.path() / "Lib/Gauge.ctl", kOldControl);
  const std::string group =
      "VBGROUP 5.0\r\nStartupProject=App\\App.vbp\r\nProject=..\\LIB\\lib.VBP\r\n"
      "Project=Gone\\Gone.vbp\r\nProject=App\\App.vbp\r\n";
  WriteFile(root.path() / "grp/Tools.vbg", group);
  fs::permissions(root.path() / "grp/Tools.vbg", fs::perms::owner_write, fs::perm_options::remove);

  const ProgramResult result = Cli({"Lib/Lib.vbp", "grp/Tools.vbg"}, root.path());

  EXPECT_EQ(result.exit_status, 1);
  const std::string gone = root / "grp/Gone\\Gone.vbp";
  EXPECT_EQ(result.out,
            "Fixing " + root / "Lib/Lib.vbp" + "\n   fixing Gauge.ctl\nFixup completed.\nFixing " +
                root / "grp/App/App.vbp" + "\n   fixing About.frm\nFixup completed.\nFixing " +
                gone + "\nError: cannot open \"" + gone +
                "\" for reading: No such file or directory\nFixup stopped.\n");
  EXPECT_EQ(ReadFile(root.path() / "grp/Tools.vbg"), group);
  EXPECT_EQ(ReadFile(root.path() / "grp/App/App.vbp"), Repaired(kDirtyProject, true));
  EXPECT_EQ(ReadFile(root.path() / "Lib/Gauge.ctl"), Repaired(kOldControl, false));
}

// One project file in two folders is two projects: each finds its forms in its own folder.
TEST(Group, SameFileInAnotherFolderRunsAgain) {
  const TempDir root;
  WriteFile(root.path() / "a/App.vbp", kDirtyProject);
  WriteFile(root.path() / "a/About.frm", kCleanForm);
  WriteFile(root.path() / "b/About.frm", kOldForm);
  fs::create_hard_link(root.path() / "a/App.vbp", root.path() / "b/App.vbp");
  EXPECT_EQ(Cli({"--check", "--recursive", "."}, root.path()).out,
            "a/App.vbp\nb/App.vbp\nb/About.frm\n");
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* message;  // part of what standard error says
};

void PrintTo(const UsageCase& row, std::ostream* out) { *out << row.name; }

class UsageError : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageError, ExitsWithTwoAndExplainsOnStandardError) {
  const TempDir root;
  WriteFile(root.path() / "App.vbp", "Type=Exe\r\n");
  fs::create_directories(root.path() / "folder");

  const ProgramResult result = Cli(GetParam().args, root.path());

  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_THAT(result.err, HasSubstr(GetParam().message));
  EXPECT_EQ(ReadFile(root.path() / "App.vbp"), "Type=Exe\r\n");  // nothing ran
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageError,
    ::testing::Values(UsageCase{"NoPath", {}, "PATH is required"},
                      UsageCase{"UnknownOption", {"--fast", "App.vbp"}, "--fast"},
                      UsageCase{"MissingPath", {"App.vbp", "Gone.vbp"}, "Gone.vbp"},
                      UsageCase{"FolderWithoutRecursive", {"folder"}, "--recursive"},
                      UsageCase{"DiffAndDryRun", {"--diff", "--dry-run", "App.vbp"}, "exclude"},
                      UsageCase{"CheckAndDiff", {"--check", "--diff", "App.vbp"}, "exclude"},
                      UsageCase{"CheckAndDryRun", {"--dry-run", "--check", "App.vbp"}, "exclude"},
                      UsageCase{"UnknownCodePage", {"--codepage", "9999", "App.vbp"}, "9999"},
                      UsageCase{"OptionNameAfterDoubleDash", {"--", "--help"}, "--help"}),
    [](const ::testing::TestParamInfo<UsageCase>& row) { return std::string(row.param.name); });

// Every file of the tree under `root`, by relative path, with its bytes.
std::map<std::string, std::string> Contents(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(root).string()] = ReadFile(entry.path());
    }
  }
  return files;
}

// A tree handed over by someone else, whose names mean harm: a project whose name holds a
// whole patch of its own, and forms whose names hold a tab, quotes, a backslash and non-ASCII.
void WriteHostileTree(const fs::path& root) {
  const std::string project =
      "a\n--- .profile\n+++ .profile\n@@ -0,0 +1 @@\n+echo INJECTED\n\\ z.vbp";
  const std::vector<std::string> forms = {"tab\there.frm", "say \"hi\".frm", "back\\slash.frm",
                                          "Gr\xc3\xb6\xc3\x9f"
                                          "e.frm",
                                          "plain.frm"};
  std::string entries = kOldCommonControls;
  for (const std::string& form : forms) {
    entries += "Form=" + form + "\r\n";
    WriteFile(root / "untrusted" / form, kOldForm);
  }
  WriteFile(root / "untrusted" / project, entries);
}

// A diff must name every file so that patch applies it there and nowhere else.
TEST(HostileNames, DiffAppliesWithPatchExactlyAsTheRealRunRepairs) {
  const TempDir root;
  WriteHostileTree(root.path() / "real");
  WriteHostileTree(root.path() / "patched");

  const ProgramResult diff = Cli({"--diff", "-r", "untrusted"}, root.path() / "patched");
  ASSERT_EQ(diff.exit_status, 0) << diff.err;
  WriteFile(root.path() / "fix.patch", diff.out);
  const int patched = std::system(
      ("cd '" + (root / "patched") + "' && patch -p0 --batch --silent < ../fix.patch").c_str());
  ASSERT_EQ(patched, 0) << diff.out;

  const ProgramResult real = Cli({"-r", "untrusted"}, root.path() / "real");
  ASSERT_EQ(real.exit_status, 0) << real.err;
  EXPECT_EQ(Contents(root.path() / "patched"), Contents(root.path() / "real"));
  EXPECT_FALSE(fs::exists(root.path() / "patched/.profile"));
}

TEST(HostileNames, EachFileIsOneLineWithNoControlCharacter) {
  const TempDir root;
  const std::string form = "evil\x1b[2J\rFixup completed..frm";
  WriteFile(root.path() / "App.vbp", "Form=" + form + "\r\nForm=gone\x1b]0;owned\x07.frm\r\n");
  WriteFile(root.path() / form, kOldForm);

  const ProgramResult result = Cli({"App.vbp"}, root.path());

  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Fixing " + root / "App.vbp" +
                            "\n"
                            "   fixing evil\\e[2J\\rFixup completed..frm\n"
                            "   fixing gone\\e]0;owned\\x07.frm\n"
                            "Error: cannot open \"gone\\e]0;owned\\x07.frm\" for reading: No such "
                            "file or directory\n"
                            "Fixup stopped.\n");
}

// Folders given to --recursive that can't be searched are errors, not silence.
TEST(Recursive, EveryFolderThatCannotBeReadIsAnError) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  const TempDir root;
  WriteFile(root.path() / "tree/ok/App.vbp", "Form=Main.frm\r\n");
  WriteFile(root.path() / "tree/ok/Main.frm", kOldForm);
  WriteFile(root.path() / "tree/locked/Hidden.vbp", "Type=Exe\r\n");
  for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
    fs::permissions(entry.path(),
                    entry.is_directory()
                        ? fs::perms::all
                        : fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                             fs::perms::others_exec));
  }
  fs::permissions(root.path(), fs::perms::all);
  fs::permissions(root.path() / "tree/locked", fs::perms::none);

  const ProgramResult result = Cli({"-r", "tree"}, root.path(), {.drop_root = true});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Error: cannot search the folder \"tree/locked\": Permission denied\n");
  EXPECT_EQ(result.out,
            "Fixing " + root / "tree/ok/App.vbp" + "\n   fixing Main.frm\nFixup completed.\n");
  EXPECT_EQ(ReadFile(root.path() / "tree/ok/Main.frm"), Repaired(kOldForm, false));

  fs::permissions(root.path() / "tree", fs::perms::none);
  const ProgramResult top = Cli({"-r", "tree"}, root.path(), {.drop_root = true});
  fs::permissions(root.path() / "tree", fs::perms::all);
  fs::permissions(root.path() / "tree/locked", fs::perms::all);
  EXPECT_EQ(top.exit_status, 1);
  EXPECT_EQ(top.err, "Error: cannot search the folder \"tree\": Permission denied\n");
}

// `plindor-cli -r tree | head -c 0`: the repair goes on to the end, and says once that its
// output was lost.
TEST_F(SampleTree, ClosedOutputDoesNotStopTheRepair) {
  const ProgramResult result = Cli({"-r", "."}, root.path(), {.closed_pipe = true});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Error: cannot write to standard output\n");
  EXPECT_EQ(ReadFile(At("healthy/Main.frm")), Repaired(kOldForm, false));
  EXPECT_EQ(ReadFile(At("healthy/Gauge.ctl")), Repaired(kOldControl, false));
  EXPECT_EQ(ReadFile(At("broken/Start.frm")), Repaired(kOldForm, false));
}

// What a dry run says of a file, a real run then does: the same outcome, the same message.
struct Prediction {
  const char* name;
  // Makes Form.frm (or what is there instead); false when this system can't.
  std::function<bool(const fs::path& folder)> arrange;
  bool needs_root;
};

void PrintTo(const Prediction& row, std::ostream* out) { *out << row.name; }

// Sets an inode flag (chattr +a, +i); false where the file system or the user can't.
bool SetInodeFlag(const fs::path& path, int flag) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  const bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                   (flags |= flag, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (fd >= 0) ::close(fd);
  return set;
}

void ClearInodeFlags(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags &= ~(FS_APPEND_FL | FS_IMMUTABLE_FL);
    (void)::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  if (fd >= 0) ::close(fd);
}

class DryRunPredicts : public ::testing::TestWithParam<Prediction> {};

TEST_P(DryRunPredicts, TheRealRunsOutcomeAndMessage) {
  if (GetParam().needs_root && ::geteuid() != 0) GTEST_SKIP() << "needs root";
  const TempDir root;
  WriteFile(root.path() / "App.vbp", "Form=Form.frm\r\n");
  if (!GetParam().arrange(root.path())) GTEST_SKIP() << "this file system can't set that up";
  const std::string before = fs::is_regular_file(root.path() / "Form.frm")
                                 ? ReadFile(root.path() / "Form.frm")
                                 : std::string();

  const ProgramResult dry = Cli({"--dry-run", "App.vbp"}, root.path());
  const ProgramResult real = Cli({"App.vbp"}, root.path());
  ClearInodeFlags(root.path() / "Form.frm");

  EXPECT_EQ(dry.exit_status, real.exit_status);
  const auto error_line = [](const std::string& out) {
    const std::size_t at = out.find("Error: ");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
  };
  EXPECT_EQ(error_line(dry.out), error_line(real.out)) << dry.out << real.out;
  const bool would_change = dry.out.find("Would change Form.frm") != std::string::npos;
  const bool unchanged = dry.out.find("Unchanged: Form.frm") != std::string::npos;
  const std::string after = fs::is_regular_file(root.path() / "Form.frm")
                                ? ReadFile(root.path() / "Form.frm")
                                : std::string();
  EXPECT_EQ(would_change, real.exit_status == 0 && after != before) << dry.out;
  EXPECT_EQ(unchanged, real.exit_status == 0 && after == before) << dry.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DryRunPredicts,
    ::testing::Values(
        Prediction{"Unchanged",
                   [](const fs::path& f) { return WriteFile(f / "Form.frm", kCleanForm), true; },
                   false},
        Prediction{"Changed",
                   [](const fs::path& f) { return WriteFile(f / "Form.frm", kOldForm), true; },
                   false},
        Prediction{"Missing", [](const fs::path&) { return true; }, false},
        Prediction{"ReadOnly",
                   [](const fs::path& f) {
                     WriteFile(f / "Form.frm", kOldForm);
                     fs::permissions(f / "Form.frm", fs::perms::owner_read);
                     return true;
                   },
                   false},
        Prediction{"AppendOnly",
                   [](const fs::path& f) {
                     WriteFile(f / "Form.frm", kOldForm);
                     return SetInodeFlag(f / "Form.frm", FS_APPEND_FL);
                   },
                   true},
        Prediction{"Immutable",
                   [](const fs::path& f) {
                     WriteFile(f / "Form.frm", kOldForm);
                     return SetInodeFlag(f / "Form.frm", FS_IMMUTABLE_FL);
                   },
                   true},
        Prediction{"AFolder",
                   [](const fs::path& f) { return fs::create_directory(f / "Form.frm"); }, false},
        Prediction{"AmbiguousLetterCase",
                   [](const fs::path& f) {
                     WriteFile(f / "FORM.frm", kOldForm);
                     WriteFile(f / "form.FRM", kOldForm);
                     return true;
                   },
                   false}),
    [](const ::testing::TestParamInfo<Prediction>& row) { return std::string(row.param.name); });

TEST(Information, VersionNamesTheProductAndVersion) {
  const ProgramResult result = Cli({"--version"}, "/");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, std::string(version::kProductName) + " " + version::kProductVersion + "\n");
}

TEST(Information, HelpDescribesEveryOptionAndTheExitStatus) {
  const ProgramResult result = Cli({"--help"}, "/");
  EXPECT_EQ(result.exit_status, 0);
  for (const char* text : {"PATH", "--recursive", "--dry-run", "--diff", "--check", "--quiet",
                           "--codepage", "--version", "--help", "Exit status"}) {
    EXPECT_THAT(result.out, HasSubstr(text));
  }
}

}  // namespace
}  // namespace plindor::cli
