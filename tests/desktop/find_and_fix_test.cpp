#include "desktop/find_and_fix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "scripted_chooser.h"
#include "temp_dir.h"

namespace plindor::desktop {
namespace {

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
  testing::ScriptedChooser::Script script_;
  testing::ScriptedChooser chooser_{script_};
  testing::MemoryFileSystem files_;
  testing::StringLog log_;
  FindAndFix run_{chooser_, files_, log_, "/program/folder"};
};

TEST_F(FindAndFixTest, RepairsTheChosenProjectFromItsFolderAndStartsTheNextDialogThere) {
  script_.answers = {project_, project_};
  EXPECT_TRUE(run_.Run());
  EXPECT_EQ(log_.text, "Fixing " + project_ + "\r\n   fixing Main.frm\r\nFixup completed.\r\n");
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder_.path()));
  EXPECT_TRUE(run_.Run());
  EXPECT_EQ(script_.asked_from, (std::vector<std::string>{"/program/folder", project_}));
}

TEST_F(FindAndFixTest, ACancelledDialogChangesAndLogsNothing) {
  const std::filesystem::path before = std::filesystem::current_path();
  EXPECT_FALSE(run_.Run());
  EXPECT_FALSE(run_.Run());
  EXPECT_EQ(log_.text, "");
  EXPECT_TRUE(files_.operations.empty());
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_EQ(script_.asked_from, (std::vector<std::string>(2, "/program/folder")));
}

TEST_F(FindAndFixTest, RunsThatCannotStartSayWhyAndRepairNothing) {
  const std::string gone = folder_.path().string() + "/gone";
  struct Case {
    std::optional<std::string> failure;  // of the dialog
    std::optional<std::string> answer;
    std::string log_head;
    std::string next_start;
  };
  for (const Case& c : {
           Case{"the file-open dialog failed (error 0x0002)", std::nullopt,
                "Error: the file-open dialog failed (error 0x0002)\r\n", "/program/folder"},
           Case{std::nullopt, gone + "/App.vbp",
                "Error: cannot make \"" + gone + "\" the current folder: ", gone + "/App.vbp"},
       }) {
    FindAndFix run(chooser_, files_, log_, "/program/folder");
    log_.text.clear();
    script_.failure = c.failure;
    script_.answers = {c.answer};
    EXPECT_FALSE(run.Run()) << c.log_head;
    EXPECT_EQ(log_.text.substr(0, c.log_head.size()), c.log_head);
    EXPECT_TRUE(log_.text.ends_with("\r\nFixup stopped.\r\n")) << log_.text;
    EXPECT_EQ(run.start(), c.next_start);
  }
  EXPECT_TRUE(files_.operations.empty());
}

}  // namespace
}  // namespace plindor::desktop
