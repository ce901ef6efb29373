#include "repair/repairer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "memory_file_system.h"
#include "repair/repair_error.h"

namespace plindor::repair {
namespace {

using plindor::testing::MemoryFileSystem;
using plindor::testing::StringLog;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kOldProjectRef =
    "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX";
const std::string kNewProjectRef =
    "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX";
const std::string kOldForm = "Begin ComctlLib.ListView L\r\n";
const std::string kNewForm = "Begin MSComctlLib.ListView L\r\n";

// The paths of the operations of one kind ("open ", "commit "), in order.
std::vector<std::string> Only(std::string_view kind, const std::vector<std::string>& operations) {
  std::vector<std::string> paths;
  for (const std::string& operation : operations) {
    if (operation.starts_with(kind)) paths.push_back(operation.substr(kind.size()));
  }
  return paths;
}

class RepairerTest : public ::testing::Test {
 protected:
  MemoryFileSystem files;
  StringLog log;
  Repairer repairer{files, log};
};

TEST_F(RepairerTest, RepairsProjectThenEachComponentInProjectOrder) {
  files.files = {
      {"/p/App.vbp", "Type=Exe\r\n" + kOldProjectRef +
                         "\r\nForm=Main.frm\r\nModule=M; M.bas\r\nUserControl=Ctl.ctl\r\n"
                         "Form=Sub\\Other.frm\r\n"},
      {"/p/Main.frm", kOldForm},
      {"/p/Ctl.ctl", kOldForm},
      {"/p/Sub\\Other.frm", kOldForm},
  };
  Repairer(files, log, "/p").FixProjectFile("/p/App.vbp");

  EXPECT_EQ(log.text,
            "Fixing /p/App.vbp\r\n"
            "   fixing Main.frm\r\n"
            "   fixing Ctl.ctl\r\n"
            "   fixing Sub\\Other.frm\r\n");
  EXPECT_EQ(files.files["/p/App.vbp"],
            "Type=Exe\r\n" + kNewProjectRef +
                "\r\nForm=Main.frm\r\nModule=M; M.bas\r\nUserControl=Ctl.ctl\r\n"
                "Form=Sub\\Other.frm\r\n");
  EXPECT_EQ(files.files["/p/Main.frm"], kNewForm);
  EXPECT_EQ(files.files["/p/Ctl.ctl"], kNewForm);
  EXPECT_EQ(files.files["/p/Sub\\Other.frm"], kNewForm);
  // One open per file; the project is rewritten before any component.
  EXPECT_THAT(Only("open ", files.operations),
              ElementsAre("/p/App.vbp", "Main.frm", "Ctl.ctl", "Sub\\Other.frm"));
  EXPECT_THAT(Only("commit ", files.operations),
              ElementsAre("/p/App.vbp", "Main.frm", "Ctl.ctl", "Sub\\Other.frm"));
}

TEST_F(RepairerTest, ComponentIsRewrittenEvenWhenNothingMatches) {
  files.files = {{"a.frm", "nothing to do\n"}};
  repairer.FixComponentFile("a.frm");
  EXPECT_EQ(log.text, "   fixing a.frm\r\n");
  EXPECT_EQ(files.files["a.frm"], "nothing to do\n");
  EXPECT_THAT(files.operations, ElementsAre("open a.frm", "read a.frm", "prepare a.frm",
                                            "commit a.frm", "release a.frm"));
}

struct EntryCase {
  const char* name;
  std::string project;
  std::vector<std::string> components;  // in the order they must be repaired
};

void PrintTo(const EntryCase& row, std::ostream* out) { *out << row.name; }

class ProjectEntries : public ::testing::TestWithParam<EntryCase> {};

// Every component named anywhere exists, so the log shows exactly which entries were followed.
TEST_P(ProjectEntries, FollowsExactlyTheFormAndUserControlEntries) {
  MemoryFileSystem files;
  StringLog log;
  files.files["x.vbp"] = GetParam().project;
  for (const char* name :
       {"a.frm", " a.frm ", "b.ctl", "\"q.frm\"", "c.frm", "c.frm\r\rForm=a.frm", "A.FRM"}) {
    files.files[name] = "";
  }
  Repairer(files, log).FixProjectFile("x.vbp");

  std::string expected = "Fixing x.vbp\r\n";
  for (const std::string& component : GetParam().components) {
    expected += "   fixing " + component + "\r\n";
  }
  EXPECT_EQ(log.text, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProjectEntries,
    ::testing::Values(
        EntryCase{"CrLf", "Form=a.frm\r\nUserControl=b.ctl\r\n", {"a.frm", "b.ctl"}},
        EntryCase{"LfOnly", "Form=a.frm\nUserControl=b.ctl\n", {"a.frm", "b.ctl"}},
        EntryCase{"MixedLineEnds", "Type=Exe\nForm=a.frm\r\nForm=c.frm", {"a.frm", "c.frm"}},
        EntryCase{"LoneCrStaysInLine", "Form=c.frm\r\rForm=a.frm\r\n", {"c.frm\r\rForm=a.frm"}},
        EntryCase{"KeysInAnyCase",
                  "FORM=a.frm\r\nuSeRcOnTrOl=b.ctl\r\nform=A.FRM\r\n",
                  {"a.frm", "b.ctl", "A.FRM"}},
        EntryCase{
            "PathKeptUntrimmed", "Form= a.frm \r\nForm=\"q.frm\"\r\n", {" a.frm ", "\"q.frm\""}},
        EntryCase{"ListedTwiceRepairedTwice", "Form=a.frm\r\nForm=a.frm\r\n", {"a.frm", "a.frm"}},
        EntryCase{"OtherEntriesIgnored",
                  "Module=M; a.frm\r\nClass=C; b.ctl\r\n Form=a.frm\r\nForms=a.frm\r\n"
                  "UserDocument=b.ctl\r\n",
                  {}},
        EntryCase{"NoTrailingLineEnd", "Type=Exe\r\nForm=a.frm", {"a.frm"}},
        EntryCase{"Empty", "", {}}),
    [](const ::testing::TestParamInfo<EntryCase>& row) { return std::string(row.param.name); });

TEST_F(RepairerTest, MissingComponentStopsTheWalkAndKeepsEarlierRepairs) {
  files.files = {
      {"x.vbp", "Form=a.frm\r\nForm=missing.frm\r\nForm=c.frm\r\n"},
      {"a.frm", kOldForm},
      {"c.frm", kOldForm},
  };
  EXPECT_THROW(
      {
        try {
          repairer.FixProjectFile("x.vbp");
        } catch (const RepairError& e) {
          EXPECT_THAT(e.what(), HasSubstr("\"missing.frm\""));
          throw;
        }
      },
      RepairError);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n   fixing a.frm\r\n   fixing missing.frm\r\n");
  EXPECT_EQ(files.files["a.frm"], kNewForm);
  EXPECT_EQ(files.files["c.frm"], kOldForm);
}

TEST_F(RepairerTest, EmptyEntryLogsBareLineThenFails) {
  files.files = {{"x.vbp", "Form=\r\n"}};
  EXPECT_THROW(repairer.FixProjectFile("x.vbp"), RepairError);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n   fixing \r\n");
}

TEST_F(RepairerTest, ProjectThatCannotBeReadIsNotWritten) {
  EXPECT_THROW(repairer.FixProjectFile("gone.vbp"), RepairError);
  EXPECT_EQ(log.text, "Fixing gone.vbp\r\n");
  EXPECT_THAT(files.operations, ElementsAre("open gone.vbp"));
}

TEST_F(RepairerTest, ProjectThatCannotBeWrittenStopsBeforeAnyComponent) {
  files.files = {{"x.vbp", "Form=a.frm\r\n"}, {"a.frm", kOldForm}};
  files.fail_commit.insert("x.vbp");
  EXPECT_THROW(repairer.FixProjectFile("x.vbp"), RepairError);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n");
  EXPECT_EQ(files.files["a.frm"], kOldForm);
}

TEST_F(RepairerTest, ComponentThatCannotBeOpenedStopsTheWalk) {
  files.files = {
      {"x.vbp", "Form=a.frm\r\nForm=b.frm\r\n"}, {"a.frm", kOldForm}, {"b.frm", kOldForm}};
  files.fail_open.insert("a.frm");
  EXPECT_THROW(repairer.FixProjectFile("x.vbp"), RepairError);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n   fixing a.frm\r\n");
  EXPECT_EQ(files.files["a.frm"], kOldForm);
  EXPECT_EQ(files.files["b.frm"], kOldForm);
}

// A 16-bit line counter would overflow here and stop the walk halfway.
TEST_F(RepairerTest, WalksProjectsOfAnyLength) {
  std::string project;
  for (int i = 0; i < 40000; ++i) project += "Reference=x\r\n";
  project += "Form=last.frm\r\n";
  files.files = {{"big.vbp", project}, {"last.frm", kOldForm}};
  repairer.FixProjectFile("big.vbp");
  EXPECT_EQ(files.files["last.frm"], kNewForm);
}

TEST_F(RepairerTest, RepairingTwiceGivesTheSameFiles) {
  files.files = {{"x.vbp", kOldProjectRef + "\r\nForm=a.frm\r\n"}, {"a.frm", kOldForm}};
  repairer.FixProjectFile("x.vbp");
  const auto after_first = files.files;
  repairer.FixProjectFile("x.vbp");
  EXPECT_EQ(files.files, after_first);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n   fixing a.frm\r\nFixing x.vbp\r\n   fixing a.frm\r\n");
}

// Rewrites go in batches, yet the log reads as if files went one at a time: the failing
// file's line is the last, and no file after it is touched.
TEST_F(RepairerTest, FailureWhileRewritingABatchEndsTheLogAtThatFile) {
  files.files = {{"x.vbp", "Form=a.frm\r\nForm=b.frm\r\nForm=c.frm\r\n"},
                 {"a.frm", kOldForm},
                 {"b.frm", kOldForm},
                 {"c.frm", kOldForm}};
  files.fail_commit.insert("b.frm");
  EXPECT_THROW(repairer.FixProjectFile("x.vbp"), RepairError);
  EXPECT_EQ(log.text, "Fixing x.vbp\r\n   fixing a.frm\r\n   fixing b.frm\r\n");
  EXPECT_EQ(files.files["a.frm"], kNewForm);
  EXPECT_EQ(files.files["b.frm"], kOldForm);
  EXPECT_EQ(files.files["c.frm"], kOldForm);
}

// Each file held waiting for its batch keeps a handle and a lock; there must be a bound.
TEST_F(RepairerTest, BatchesHoldABoundedNumberOfFiles) {
  std::string project;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "f" + std::to_string(i) + ".frm";
    project += "Form=" + name + "\r\n";
    files.files[name] = kOldForm;
  }
  files.files["x.vbp"] = project;
  repairer.FixProjectFile("x.vbp");
  std::size_t held = 0;
  std::size_t most = 0;
  for (const std::string& operation : files.operations) {
    if (operation.starts_with("open ")) most = std::max(most, ++held);
    if (operation.starts_with("release ")) --held;
  }
  EXPECT_LE(most, 128u);
  EXPECT_EQ(Only("commit ", files.operations).size(), 301u);
  EXPECT_EQ(files.files["f299.frm"], kNewForm);
}

TEST_F(RepairerTest, ComponentPathsResolveAgainstTheBaseFolderGiven) {
  files.files = {{"/elsewhere/x.vbp", "Form=a.frm\r\nForm=/abs/b.frm\r\n"},
                 {"/p/a.frm", kOldForm},
                 {"/abs/b.frm", kOldForm}};
  Repairer(files, log, "/p").FixProjectFile("/elsewhere/x.vbp");
  EXPECT_EQ(files.files["/p/a.frm"], kNewForm);
  EXPECT_EQ(files.files["/abs/b.frm"], kNewForm);
}

TEST_F(RepairerTest, WhatOpeningRecoveredIsLoggedBeforeTheRepair) {
  files.files = {{"x.vbp", "Form=a.frm\r\n"}, {"a.frm", kOldForm}};
  files.recoveries["a.frm"] = "put back \"a.frm\" from its backup";
  repairer.FixProjectFile("x.vbp");
  EXPECT_EQ(log.text,
            "Fixing x.vbp\r\n   fixing a.frm\r\n   put back \"a.frm\" from its backup\r\n");
}

// What an observer keeps of each report.
struct Seen {
  std::string path, location;
  FileRole role;
  std::vector<std::size_t> counts;
  std::string before, after;
  FileOutcome outcome;
  std::string error;
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
  *out << seen.path << " (" << static_cast<int>(seen.outcome) << ") " << seen.error;
}

class Recorder final : public RepairObserver {
 public:
  std::vector<Seen> seen;
  void OnFile(const FileReport& r) override {
    seen.push_back({std::string(r.path),
                    std::string(r.location),
                    r.role,
                    {r.counts.begin(), r.counts.end()},
                    std::string(r.before),
                    std::string(r.after),
                    r.outcome,
                    std::string(r.error)});
  }
};

TEST_F(RepairerTest, ObserverHearsOfEachFileWithItsCountsTextsAndOutcome) {
  const std::string project = kOldProjectRef + "\r\nForm=a.frm\r\nForm=b.frm\r\nForm=gone.frm\r\n";
  const std::string old_a = "x ComctlLib.A ComctlLib.B Comctl2.C\r\n";
  files.files = {{"/p/x.vbp", project}, {"/p/a.frm", old_a}, {"/p/b.frm", "plain"}};
  Recorder recorder;
  EXPECT_THROW(Repairer(files, log, "/p", &recorder).FixProjectFile("/p/x.vbp"), RepairError);

  const std::string new_project = kNewProjectRef + project.substr(kOldProjectRef.size());
  const std::string new_a = "x MSComctlLib.A MSComctlLib.B MSComctl2.C\r\n";
  EXPECT_THAT(recorder.seen,
              ElementsAre(Seen{"/p/x.vbp",
                               "/p/x.vbp",
                               FileRole::kProject,
                               {1, 0, 0},
                               project,
                               new_project,
                               FileOutcome::kChanged,
                               ""},
                          Seen{"a.frm",
                               "/p/a.frm",
                               FileRole::kComponent,
                               {0, 2, 0, 1, 0, 0},
                               old_a,
                               new_a,
                               FileOutcome::kChanged,
                               ""},
                          Seen{"b.frm",
                               "/p/b.frm",
                               FileRole::kComponent,
                               {0, 0, 0, 0, 0, 0},
                               "plain",
                               "plain",
                               FileOutcome::kUnchanged,
                               ""},
                          Seen{"gone.frm",
                               "",
                               FileRole::kComponent,
                               {},
                               "",
                               "",
                               FileOutcome::kFailed,
                               "cannot open \"gone.frm\" for reading: No such file or directory"}));
}

struct FolderCase {
  const char* path;
  const char* folder;
};

TEST(FolderOfTest, IsEverythingBeforeTheLastSeparator) {
  for (const FolderCase& c : std::vector<FolderCase>{
           {"/p/App.vbp", "/p"},
           {"/p//App.vbp", "/p"},
           {"/App.vbp", "/"},
           {"App.vbp", ""},
           {"rel/App.vbp", "rel"},
#ifdef _WIN32
           {"C:\\p\\App.vbp", "C:\\p"},
           {"C:\\App.vbp", "C:\\"},
           {"C:App.vbp", "C:"},
           {"\\\\server\\share\\App.vbp", "\\\\server\\share"},
#else
           {"dir\\App.vbp", ""},
#endif
       }) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
  }
}

}  // namespace
}  // namespace plindor::repair
