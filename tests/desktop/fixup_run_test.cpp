#include "desktop/fixup_run.h"

#include <gtest/gtest.h>

#include "desktop/version_info.h"
#include "repair/fake_file_system.h"

namespace plindor::desktop {
namespace {

TEST(RunFixupTest, ClosesARepairedProjectWithTheCompletedLine) {
  testing::FakeFileSystem files;
  files.files["/p/App.vbp"] = "Form=Main.frm\r\n";
  files.files["Main.frm"] = "x";
  testing::StringLog log;
  EXPECT_TRUE(RunFixup(files, log, "/p/App.vbp"));
  EXPECT_EQ(log.text, "Fixing /p/App.vbp\r\n   fixing Main.frm\r\nFixup completed.\r\n");
}

TEST(RunFixupTest, ClosesAFailedProjectWithTheReasonAndTheStoppedLine) {
  testing::FakeFileSystem files;
  files.files["/p/App.vbp"] = "Form=Gone.frm\r\nForm=Main.frm\r\n";
  files.files["Main.frm"] = "x";
  testing::StringLog log;
  EXPECT_FALSE(RunFixup(files, log, "/p/App.vbp"));
  EXPECT_EQ(log.text,
            "Fixing /p/App.vbp\r\n   fixing Gone.frm\r\n"
            "Error: cannot open \"Gone.frm\": No such file or directory\r\nFixup stopped.\r\n");
}

TEST(VersionLineTest, ShowsMajorMinorAndRevisionButNotTheBuild) {
  VersionInfo info;
  info.product_name = "Plindor";
  info.major = 1;
  info.minor = 20;
  info.build = 7;
  info.revision = 3000;
  const auto bracketed = [](int n) { return "[" + std::to_string(n) + "]"; };
  EXPECT_EQ(VersionLine(info, bracketed), "Product: Plindor; Version [1].[20].[3000]");
}

}  // namespace
}  // namespace plindor::desktop
