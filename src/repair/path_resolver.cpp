#include "repair/path_resolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace plindor::repair {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::ranges::equal(a, b, {}, lower, lower);
}

std::string Join(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  if (directory.back() == '/') return directory + std::string(name);
  return directory + "/" + std::string(name);
}

// Names in `directory` equal to `name` when ASCII letter case is ignored.
std::vector<std::string> CaseInsensitiveMatches(const std::string& directory,
                                                std::string_view name) {
  std::vector<std::string> matches;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(
      ::opendir(directory.empty() ? "." : directory.c_str()), &::closedir);
  if (!dir) return matches;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (EqualsIgnoringCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
  }
  std::ranges::sort(matches);
  return matches;
}

}  // namespace

std::string ResolvePath(const std::string& path) {
  if (path.empty() || Exists(path)) return path;

  std::string slashed = path;
  std::ranges::replace(slashed, '\\', '/');
  if (Exists(slashed)) return slashed;

  std::string resolved = slashed.front() == '/' ? "/" : "";
  std::string_view rest = slashed;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view element = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (element.empty()) continue;

    const std::string exact = Join(resolved, element);
    if (element == "." || element == ".." || Exists(exact)) {
      resolved = exact;
      continue;
    }
    const std::vector<std::string> matches = CaseInsensitiveMatches(resolved, element);
    if (matches.empty()) return slashed;
    if (matches.size() > 1) {
      std::string names;
      for (const std::string& match : matches) {
        if (!names.empty()) names += ", ";
        names.append(1, '"').append(Join(resolved, match)).append(1, '"');
      }
      throw AmbiguousPathError("several files match when letter case is ignored: " + names);
    }
    resolved = Join(resolved, matches.front());
  }
  return resolved;
}

}  // namespace plindor::repair
