#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "cli/change_report.h"
#include "cli/command_line.h"

namespace plindor::cli {

// `path` without its "." elements ("./a/./b" is "a/b"). ".." stays: it may lead through a
// symbolic link.
std::filesystem::path WithoutDotElements(const std::filesystem::path& path);

// The path --check lists for a file that would change: the project as the user named it, and
// a component below the project's folder as named the same way, with the names as they are on
// disk; a component the project names by an absolute path, where it was found.
// `project_absolute` is the project opened, `project_given` the same as the user named it.
std::string ListedPath(const FileChange& change, const std::filesystem::path& project_absolute,
                       const std::filesystem::path& project_given);

// `word` as one word of a shell command: as it is when it can't be misread, else quoted
// (single quotes for POSIX shells, double quotes on Windows).
std::string ShellWord(std::string_view word);

// The closing line of a check that found files to repair: how many, in how many projects, and
// the command that repairs them (the same paths and settings, without --check). No line end.
std::string CheckSummary(std::size_t files, std::size_t projects, const Options& options);

}  // namespace plindor::cli
