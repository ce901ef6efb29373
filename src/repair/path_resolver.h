#pragma once

#include <stdexcept>
#include <string>

namespace plindor::repair {

// Raised when a path can only be found by ignoring letter case and several names fit.
class AmbiguousPathError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Finds the file a project means by `path` on a case-sensitive file system. A path that exists
// as written is used as it is. Otherwise backslashes are separators, and each path element
// that does not exist as written is looked up without regard to ASCII letter case: an exact
// match wins, else a single case-insensitive match. A path that can't be found comes back with
// its separators converted, so that opening it fails as a missing file.
std::string ResolvePath(const std::string& path);

}  // namespace plindor::repair
