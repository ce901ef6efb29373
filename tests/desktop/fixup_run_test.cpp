#include "desktop/fixup_run.h"

#include <gtest/gtest.h>

#include "desktop/version_info.h"
#include "memory_file_system.h"

namespace plindor::desktop {
namespace {

TEST(RunFixupTest, ClosesARepairedProjectWithTheCompletedLine) {
  testing::MemoryFileSystem files;
  files.files["/p/App.vbp"] = "Form=Main.frm\r\n";
  files.files["/p/Main.frm"] = "x";
  testing::StringLog log;
  EXPECT_TRUE(RunFixup(files, log, "/p/App.vbp"));
  EXPECT_EQ(log.text, "Fixing /p/App.vbp\r\n   fixing Main.frm\r\nFixup completed.\r\n");
}

TEST(RunFixupTest, ClosesAFailedProjectWithTheReasonAndTheStoppedLine) {
  testing::MemoryFileSystem files;
  files.files["/p/App.vbp"] = "Form=Gone.frm\r\nForm=Main.frm\r\n";
  files.files["/p/Main.frm"] = "x";
  testing::StringLog log;
  EXPECT_FALSE(RunFixup(files, log, "/p/App.vbp"));
  EXPECT_EQ(log.text,
            "Fixing /p/App.vbp\r\n   fixing Gone.frm\r\n"
            "Error: cannot open \"Gone.frm\" for reading: No such file or directory\r\n"
            "Fixup stopped.\r\n");
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
