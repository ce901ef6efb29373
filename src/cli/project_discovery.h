#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plindor::cli {

// True for names ending in ".vbp" in any letter case.
bool IsProjectFileName(const std::filesystem::path& path);

struct ProjectSearch {
  std::vector<std::filesystem::path> projects;  // sorted
  std::vector<std::string> failures;            // one message per folder that could not be searched
};

// Every project file below `folder`, at any depth, in sorted order so that batch runs are
// repeatable. Symbolic links to folders are not followed (no loops), links to files are. Every
// folder that can't be read, `folder` itself included, is a failure; the search goes on
// around it.
ProjectSearch FindProjects(const std::filesystem::path& folder);

}  // namespace plindor::cli
