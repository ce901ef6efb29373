#include "repair/path_resolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/ascii.h"
#include "repair/code_page.h"
#include "repair/path_text.h"

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

// Stands for "several names fit" among the errno values a walk returns.
constexpr int kAmbiguous = -1;

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
      std::string match;
      if (const int found = FindIgnoringCase(name, match)) return found;
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

  // Why several names fit, after a walk that returned kAmbiguous.
  const std::string& ambiguity() const { return ambiguity_; }

 private:
  // The one name in the current folder that `name` can mean ignoring case.
  int FindIgnoringCase(std::string_view name, std::string& out) {
    const std::vector<std::string> matches = CaseInsensitiveMatches(folder_.get(), name);
    if (matches.empty()) return ENOENT;
    if (matches.size() == 1) {
      out = matches.front();
      return 0;
    }
    ambiguity_ = "several files match when letter case is ignored: ";
    for (const std::string& match : matches) {
      if (&match != &matches.front()) ambiguity_ += ", ";
      ambiguity_.append(1, '"').append(shown_).append(match).append(1, '"');
    }
    return kAmbiguous;
  }

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
      if (const int found = FindIgnoringCase(element, name)) return found;
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
  std::string ambiguity_;
};

Status ResolveBytes(const std::string& base, const std::string& path, ResolvedPath& out) {
  const int as_written = Walk("/", false).Run(base, path, out);
  if (as_written == 0) return {};
  // Read the Windows way, a drive would be a folder named "C:", which another user may make.
  if (OnADrive(path)) return Status(std::strerror(as_written));
  Walk windows_way("/\\", true);
  const int error = windows_way.Run(base, path, out);
  if (error == 0) return {};
  if (error == kAmbiguous) return Status(windows_way.ambiguity());
  // A name the Windows way found nothing either: the system's first answer says it best.
  return Status(std::strerror(as_written));
}

bool SameFile(const ResolvedPath& a, const ResolvedPath& b) {
  struct stat first {};
  struct stat second {};
  return ::fstatat(a.folder.get(), a.name.c_str(), &first, 0) == 0 &&
         ::fstatat(b.folder.get(), b.name.c_str(), &second, 0) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

Status ResolvePath(const std::string& base, const std::string& path, ResolvedPath& out) {
  Status error = ResolveBytes(base, path, out);
  if (IsUtf8(path)) return error;
  // Windows wrote a name that is not UTF-8 in its ANSI code page, while the file may be named in
  // UTF-8 here, as a checkout from Windows names it.
  const unsigned code_page = NameCodePage();
  const std::optional<std::string> decoded = DecodeCodePage(path, code_page);
  ResolvedPath other;
  if (!decoded || !ResolveBytes(base, *decoded, other).ok()) return error;
  if (!error.ok()) {
    out = std::move(other);
    return {};
  }
  if (SameFile(out, other)) return {};
  return Status("two files match: \"" + out.location + "\" as the name stands, and \"" +
                other.location + "\" with the name read in code page " + std::to_string(code_page));
}

}  // namespace plindor::repair
