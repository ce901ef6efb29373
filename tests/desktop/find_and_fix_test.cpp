#include "desktop/find_and_fix.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "temp_dir.h"

namespace plindor::desktop {
namespace {

// Answers from a script; an empty answer cancels, "throw" fails to ask.
class ScriptedChooser final : public ProjectChooser {
 public:
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> asked_from;

  std::optional<std::string> ChooseProject(const std::string& start) override {
    asked_from.push_back(start);
    std::optional<std::string> answer = answers.empty() ? std::nullopt : answers.front();
    if (!answers.empty()) answers.pop_front();
    if (answer == "throw") throw std::runtime_error("the file-open dialog failed (error 0x0002)");
    return answer;
  }
};

class FindAndFixTest : public ::testing::Test {
 protected:
  FindAndFixTest() {
    project_ = folder_.path().string() + "/App.vbp";
    files_.files[project_] = "Form=Main.frm\r\n";
    files_.files[folder_.path().string() + "/Main.frm"] = "x";
  }

  testing::TempDir folder_;
  testing::CurrentDirectory restore_{std::filesystem::temp_directory_path()};
  std::string project_;
  ScriptedChooser chooser_;
  testing::MemoryFileSystem files_;
  testing::StringLog log_;
  FindAndFix run_{chooser_, files_, log_, "/program/folder"};
};

TEST_F(FindAndFixTest, RepairsTheChosenProjectFromItsFolderAndStartsTheNextDialogThere) {
  chooser_.answers = {project_, project_};
  EXPECT_TRUE(run_.Run());
  EXPECT_EQ(log_.text, "Fixing " + project_ + "\r\n   fixing Main.frm\r\nFixup completed.\r\n");
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder_.path()));
  EXPECT_TRUE(run_.Run());
  EXPECT_EQ(chooser_.asked_from, (std::vector<std::string>{"/program/folder", project_}));
}

TEST_F(FindAndFixTest, ACancelledDialogChangesAndLogsNothing) {
  const std::filesystem::path before = std::filesystem::current_path();
  EXPECT_FALSE(run_.Run());
  EXPECT_FALSE(run_.Run());
  EXPECT_EQ(log_.text, "");
  EXPECT_TRUE(files_.operations.empty());
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_EQ(chooser_.asked_from, (std::vector<std::string>(2, "/program/folder")));
}

TEST_F(FindAndFixTest, RunsThatCannotStartSayWhyAndRepairNothing) {
  const std::string gone = folder_.path().string() + "/gone";
  struct Case {
    std::string answer;
    std::string log_head;
    std::string next_start;
  };
  for (const Case& c : {
           Case{"throw", "Error: the file-open dialog failed (error 0x0002)\r\n",
                "/program/folder"},
           Case{gone + "/App.vbp",
                "Error: cannot make \"" + gone + "\" the current folder: ", gone + "/App.vbp"},
       }) {
    FindAndFix run(chooser_, files_, log_, "/program/folder");
    log_.text.clear();
    chooser_.answers = {c.answer};
    EXPECT_FALSE(run.Run()) << c.answer;
    EXPECT_EQ(log_.text.substr(0, c.log_head.size()), c.log_head);
    EXPECT_TRUE(log_.text.ends_with("\r\nFixup stopped.\r\n")) << log_.text;
    EXPECT_EQ(run.start(), c.next_start);
  }
  EXPECT_TRUE(files_.operations.empty());
}

}  // namespace
}  // namespace plindor::desktop
