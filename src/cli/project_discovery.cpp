#include "cli/project_discovery.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace plindor::cli {

bool IsProjectFileName(const std::filesystem::path& path) {
  constexpr std::string_view kExtension = ".vbp";
  const std::string extension = path.extension().string();
  if (extension.size() != kExtension.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExtension[i]) return false;
  }
  return true;
}

std::vector<std::filesystem::path> FindProjects(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> projects;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied)) {
    std::error_code ignored;  // a dangling link is simply not a project
    if (IsProjectFileName(entry.path()) && entry.is_regular_file(ignored)) {
      projects.push_back(entry.path());
    }
  }
  std::sort(projects.begin(), projects.end());
  return projects;
}

}  // namespace plindor::cli
