#pragma once

#include <filesystem>
#include <vector>

namespace plindor::cli {

// True for names ending in ".vbp" in any letter case.
bool IsProjectFileName(const std::filesystem::path& path);

// Every project file below `folder`, at any depth, in sorted order so that batch runs are
// repeatable. Symbolic links to folders are not followed (no loops), links to files are; folders
// that can't be read are skipped. Throws std::filesystem::filesystem_error when `folder` itself
// can't be searched.
std::vector<std::filesystem::path> FindProjects(const std::filesystem::path& folder);

}  // namespace plindor::cli
