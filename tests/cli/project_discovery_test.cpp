#include "cli/project_discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace plindor::cli {
namespace {

namespace fs = std::filesystem;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

TEST(IsProjectFileName, TakesTheVbpExtensionInAnyLetterCase) {
  for (const char* name : {"a.vbp", "A.VBP", "x/App.Vbp", "weird name.vBp", ".hidden.vbp"}) {
    EXPECT_TRUE(IsProjectFileName(name)) << name;
  }
  for (const char* name : {"a.vbg", "a.vbp.bak", "avbp", "a.vbpx", "a.vb", "vbp", ".vbp"}) {
    EXPECT_FALSE(IsProjectFileName(name)) << name;
  }
}

TEST(FindProjects, ListsProjectFilesAtAnyDepthInSortedOrder) {
  const TempDir root;
  for (const char* name : {"z.vbp", "b/Second.VBP", "a/c/Deep.vbp", "a/b.vbp", "a/readme.txt"}) {
    WriteFile(root.path() / name, "");
  }
  fs::create_directories(root.path() / "folder.vbp");  // a folder is never a project

  std::vector<std::string> found;
  const ProjectSearch search = FindProjects(root.path());
  for (const fs::path& path : search.projects) {
    found.push_back(path.lexically_relative(root.path()).generic_string());
  }
  EXPECT_THAT(search.failures, ::testing::IsEmpty());
  EXPECT_THAT(found, ::testing::ElementsAre("a/b.vbp", "a/c/Deep.vbp", "b/Second.VBP", "z.vbp"));
}

#ifndef _WIN32
// Windows lets only privileged users make symbolic links.
TEST(FindProjects, TakesLinksToFilesButFollowsNoLinkedFolder) {
  const TempDir root;
  WriteFile(root.path() / "z.vbp", "");
  WriteFile(root.path() / "a/b.vbp", "");
  fs::create_symlink(root.path() / "nowhere.vbp", root.path() / "dangling.vbp");
  fs::create_symlink(root.path() / "a", root.path() / "link-to-a");  // not followed: no loops
  fs::create_symlink(root.path() / "z.vbp", root.path() / "alias.vbp");

  std::vector<std::string> found;
  for (const fs::path& path : FindProjects(root.path()).projects) {
    found.push_back(path.lexically_relative(root.path()).string());
  }
  EXPECT_THAT(found, ::testing::ElementsAre("a/b.vbp", "alias.vbp", "z.vbp"));
}
#endif

TEST(FindProjects, AFolderThatIsNotThereIsAFailure) {
  const TempDir root;
  const ProjectSearch search = FindProjects(root.path() / "missing");
  EXPECT_THAT(search.projects, ::testing::IsEmpty());
  ASSERT_EQ(search.failures.size(), 1u);
  EXPECT_THAT(search.failures[0],
              ::testing::StartsWith("cannot search the folder \"" +
                                    (root.path() / "missing").string() + "\": "));
}

}  // namespace
}  // namespace plindor::cli
