#include "cli/project_discovery.h"

#include <algorithm>
#include <system_error>

#include "cli/utf8_path.h"
#include "repair/ascii.h"

namespace plindor::cli {

namespace fs = std::filesystem;

bool IsProjectFileName(const fs::path& path) {
  return repair::EqualsIgnoringAsciiCase(Utf8FromPath(path.extension()), ".vbp");
}

ProjectSearch FindProjects(const fs::path& folder) {
  ProjectSearch search;
  std::vector<fs::path> pending = {folder};
  while (!pending.empty()) {
    const fs::path current = std::move(pending.back());
    pending.pop_back();
    std::error_code error;
    fs::directory_iterator entries(current, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
      const fs::directory_entry& entry = *entries;
      std::error_code ignored;  // a dangling link is simply not a project
      if (entry.is_symlink(ignored) ? false : entry.is_directory(ignored)) {
        pending.push_back(entry.path());
      } else if (IsProjectFileName(entry.path()) && entry.is_regular_file(ignored)) {
        search.projects.push_back(entry.path());
      }
    }
    if (error) {
      search.failures.push_back("cannot search the folder \"" + Utf8FromPath(current) +
                                "\": " + error.message());
    }
  }
  std::ranges::sort(search.projects);
  return search;
}

}  // namespace plindor::cli
