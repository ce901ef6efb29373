#pragma once

#include <string>
#include <string_view>

namespace plindor::repair {

// Paths as text, the way projects and groups write them and the file services take them: no
// file is looked at. On Windows, backslashes and drives count as the system counts them.

// The folder part of `path`, without its last separator: "" for a bare name, "/" for a file at
// the root. Windows paths also split at backslashes and after a drive ("C:").
std::string FolderOf(std::string_view path);

// Whether `path` starts on a drive ("C:\x", or "C:x"): a root on Windows, and a name that
// leads nowhere elsewhere.
bool OnADrive(std::string_view path);

// Whether `path` names its file from a root rather than from a base folder: "/x" and "\x", and on
// Windows also a path on a drive ("C:\x", or "C:x", which Windows takes from that drive's folder).
bool IsFromRoot(std::string_view path);

// `path` taken from the folder `base`, as text to show: `path` itself when it is from a root or
// `base` is empty. Nothing is resolved: "..\Lib" stays as it is.
std::string JoinedPath(std::string_view base, std::string_view path);

}  // namespace plindor::repair
