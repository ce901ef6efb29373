#include "repair/path_resolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/ascii.h"
#include "repair/code_page.h"

namespace plindor::repair {

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Names in `folder` equal to `name` when ASCII letter case is ignored, sorted.
std::vector<std::string> CaseInsensitiveMatches(int folder, std::string_view name) {
  std::vector<std::string> matches;
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return matches;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing), &::closedir);
  if (!dir) {
    ::close(listing);
    return matches;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    if (EqualsIgnoringAsciiCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
  }
  std::ranges::sort(matches);
  return matches;
}

// The one name in `folder` that `name` can mean ignoring case; "" when there is none.
std::string FindIgnoringCase(int folder, std::string_view name, const std::string& shown) {
  const std::vector<std::string> matches = CaseInsensitiveMatches(folder, name);
  if (matches.size() <= 1) return matches.empty() ? std::string() : matches.front();
  std::string names;
  for (const std::string& match : matches) {
    if (!names.empty()) names += ", ";
    names.append(1, '"').append(shown).append(match).append(1, '"');
  }
  throw AmbiguousPathError("several files match when letter case is ignored: " + names);
}

class Walk final {
 public:
  Walk(std::string_view separators, bool ignore_case)
      : separators_(separators), ignore_case_(ignore_case) {}

  int Run(const std::string& base, std::string_view path, ResolvedPath& out) {
    if (path.empty()) return ENOENT;
    const bool absolute = separators_.find(path.front()) != std::string_view::npos;
    const char* start = absolute ? "/" : base.empty() ? "." : base.c_str();
    folder_ = UniqueFd(::open(start, kFolderFlags));
    if (!folder_) return errno;
    struct stat root {};
    if (::stat("/", &root) != 0) return errno;
    root_ = {root.st_dev, root.st_ino};
    if (absolute) at_root_ = true;

    const std::size_t last_separator = path.find_last_of(separators_);
    const std::string_view folders = last_separator == std::string_view::npos
                                         ? std::string_view()
                                         : path.substr(0, last_separator);
    std::string name(last_separator == std::string_view::npos ? path
                                                              : path.substr(last_separator + 1));
    std::size_t at = 0;
    while (at < folders.size()) {
      std::size_t end = folders.find_first_of(separators_, at);
      if (end == std::string_view::npos) end = folders.size();
      if (const int error = Enter(folders.substr(at, end - at))) return error;
      at = end + 1;
    }

    if (name.empty()) name.push_back('.');
    struct stat info {};
    if (::fstatat(folder_.get(), name.c_str(), &info, 0) != 0) {
      const int error = errno;
      if (error != ENOENT || !ignore_case_ || name == "." || name == "..") return error;
      std::string match = FindIgnoringCase(folder_.get(), name, shown_);
      if (match.empty()) return ENOENT;
      name = std::move(match);
    }
    // Readable where the folder allows it, so that new entries in it can be put on the disk.
    UniqueFd readable(::openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    out.folder = readable ? std::move(readable) : std::move(folder_);
    out.location = absolute ? "/" : base.empty() || base.ends_with('/') ? base : base + "/";
    out.location.append(shown_).append(name);
    out.name = std::move(name);
    return 0;
  }

 private:
  // Moves into the folder `element` of the current one.
  int Enter(std::string_view element) {
    if (element.empty() || element == ".") return 0;
    if (element == "..") {
      if (at_root_) return 0;  // the root is its own parent: nothing to ask the system
      if (const int error = Open("..")) return error;
      struct stat info {};
      if (::fstat(folder_.get(), &info) != 0) return errno;
      at_root_ = info.st_dev == root_.first && info.st_ino == root_.second;
      shown_ += "../";
      return 0;
    }
    std::string name(element);
    if (const int error = Open(name)) {
      if (error != ENOENT || !ignore_case_) return error;
      name = FindIgnoringCase(folder_.get(), element, shown_);
      if (name.empty()) return ENOENT;
      if (const int again = Open(name)) return again;
    }
    at_root_ = false;
    shown_.append(name).append(1, '/');
    return 0;
  }

  int Open(const std::string& name) {
    UniqueFd next(::openat(folder_.get(), name.c_str(), kFolderFlags));
    if (!next) return errno;
    folder_ = std::move(next);
    return 0;
  }

  std::string_view separators_;
  bool ignore_case_;
  UniqueFd folder_;
  std::pair<dev_t, ino_t> root_{};
  bool at_root_ = false;
  std::string shown_;  // the folders entered so far, for messages
};

int ResolveBytes(const std::string& base, const std::string& path, ResolvedPath& out) {
  const int as_written = Walk("/", false).Run(base, path, out);
  if (as_written == 0) return 0;
  const int error = Walk("/\\", true).Run(base, path, out);
  // A name the Windows way found nothing either: the system's first answer says it best.
  return error == 0 ? 0 : as_written;
}

bool SameFile(const ResolvedPath& a, const ResolvedPath& b) {
  struct stat first {};
  struct stat second {};
  return ::fstatat(a.folder.get(), a.name.c_str(), &first, 0) == 0 &&
         ::fstatat(b.folder.get(), b.name.c_str(), &second, 0) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

int ResolvePath(const std::string& base, const std::string& path, ResolvedPath& out) {
  const int error = ResolveBytes(base, path, out);
  if (IsUtf8(path)) return error;
  // Windows wrote a name that is not UTF-8 in its ANSI code page, while the file may be named in
  // UTF-8 here, as a checkout from Windows names it.
  const unsigned code_page = NameCodePage();
  const std::optional<std::string> decoded = DecodeCodePage(path, code_page);
  ResolvedPath other;
  if (!decoded || ResolveBytes(base, *decoded, other) != 0) return error;
  if (error != 0) {
    out = std::move(other);
    return 0;
  }
  if (SameFile(out, other)) return 0;
  throw AmbiguousPathError("two files match: \"" + out.location + "\" as the name stands, and \"" +
                           other.location + "\" with the name read in code page " +
                           std::to_string(code_page));
}

}  // namespace plindor::repair
