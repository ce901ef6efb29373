#include "repair/path_text.h"

namespace plindor::repair {

namespace {

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
constexpr char kSeparator = '\\';
#else
constexpr std::string_view kSeparators = "/";
constexpr char kSeparator = '/';
#endif

}  // namespace

bool OnADrive(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }

std::string FolderOf(std::string_view path) {
#ifdef _WIN32
  // "C:name" is relative to the drive's current folder: its folder is "C:".
  const std::size_t drive = OnADrive(path) ? 2 : 0;
#else
  const std::size_t drive = 0;
#endif
  const std::size_t last = path.find_last_of(kSeparators);
  if (last == std::string_view::npos || last < drive) return std::string(path.substr(0, drive));
  // The root keeps its separator; elsewhere the folder ends before it.
  std::size_t end = last;
  while (end > drive && kSeparators.find(path[end - 1]) != std::string_view::npos) --end;
  return std::string(path.substr(0, end == drive ? last + 1 : end));
}

bool IsFromRoot(std::string_view path) {
  // Component paths split at backslashes on every system.
  if (!path.empty() && (path.front() == '/' || path.front() == '\\')) return true;
#ifdef _WIN32
  return OnADrive(path);
#else
  return false;
#endif
}

std::string JoinedPath(std::string_view base, std::string_view path) {
  if (base.empty() || IsFromRoot(path)) return std::string(path);
  std::string joined(base);
  if (kSeparators.find(joined.back()) == std::string_view::npos) joined += kSeparator;
  return joined.append(path);
}

}  // namespace plindor::repair
