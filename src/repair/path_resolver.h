#pragma once

#include <string>

#include "repair/disk_file.h"
#include "repair/unique_handle.h"

namespace plindor::repair {

// Where a path leads: the folder that holds it, open, and its name in that folder.
struct ResolvedPath {
  UniqueFd folder;
  std::string name;
  std::string location;  // `base` joined with the names found, as a path to show
};

// Finds the file a project means by `path`, taken from the folder `base` unless it is absolute
// (`base` empty: the current directory), on a case-sensitive file system. A path that exists
// as written is used as it is. Otherwise backslashes are separators too, and each element that
// does not exist as written is looked up without regard to ASCII letter case: an exact match
// wins, else a single case-insensitive match. Walks the path once, element by element, so the
// time is linear in its length whatever it holds ("./" or "../" a million times over).
// A path that is not UTF-8 and finds nothing is read in the code page NameCodePage() and
// looked up again; if both find a file, they must be the same one.
// Fails with the system's reason why nothing is there, or with the names that fit when
// several do.
Status ResolvePath(const std::string& base, const std::string& path, ResolvedPath& out);

}  // namespace plindor::repair
