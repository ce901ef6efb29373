#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

#include "cli/dry_run_file_system.h"
#include "repair/rules.h"

namespace plindor::cli {

// What a real run would do to one file: how many references each rule would replace.
struct FileChange {
  std::string path;  // as the repair named it
  bool changed = false;
  std::array<std::size_t, std::tuple_size_v<decltype(repair::kProjectRules)>> project_counts{};
  std::array<std::size_t, std::tuple_size_v<decltype(repair::kComponentRules)>> component_counts{};
};

// One entry per file a dry run of one project touched, in the order the repair touched them.
// The repair rewrites the project file before any component, so the first write is the one the
// project rules made and every later write one of the component rules.
std::vector<FileChange> SummarizeChanges(const DryRunFileSystem& files);

// "Would change <path>: project rules 1 x1, 3 x1" or "Unchanged: <path>", without a line end.
std::string FormatChange(const FileChange& change);

}  // namespace plindor::cli
