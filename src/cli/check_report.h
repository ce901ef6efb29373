#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/change_report.h"
#include "cli/command_line.h"

namespace plindor::cli {

// `path` without its "." elements ("./a/./b" is "a/b"). ".." stays: it may lead through a
// symbolic link.
std::filesystem::path WithoutDotElements(const std::filesystem::path& path);

// The project as --check names it: as the user named it, without "." elements.
std::string ListedProject(const std::filesystem::path& project_given);

// The path --check lists for a file that a container (a project, or a group) names as `name`
// and that was found at `location`: below the container's folder, named the way the user named
// the container, with the names as they are on disk; named from a root, where it was found.
// `container_absolute` is the container opened, `container_given` the same as the user named it.
std::string ListedMember(std::string_view name, const std::string& location,
                         const std::filesystem::path& container_absolute,
                         const std::filesystem::path& container_given);

// The path --check lists for a file that would change: the project as ListedProject names it,
// a component as ListedMember does.
std::string ListedPath(const FileChange& change, const std::filesystem::path& project_absolute,
                       const std::filesystem::path& project_given);

// `word` as one word of a shell command: as it is when it can't be misread, else quoted
// (single quotes for POSIX shells, double quotes on Windows); nothing where no quoting would
// keep it as it is: a byte the terminal shows escaped, or on Windows a character the command
// prompt or PowerShell expands inside double quotes.
std::optional<std::string> ShellWord(std::string_view word);

// What a check found.
struct CheckTally {
  std::size_t files = 0;              // that would change
  std::vector<std::string> projects;  // that hold them, as ListedProject names them
  std::size_t failed = 0;             // projects that could not be checked
  std::size_t unsearched = 0;         // folders that could not be searched
};

// The closing line of a check that found files to repair or projects it could not check: how
// many files in how many projects need repair, how many projects or folders could not be
// checked, and the command that repairs what can be repaired: the same paths and settings
// without --check, or where anything could not be checked, the projects to repair one by one,
// each once. No line end.
std::string CheckSummary(const CheckTally& tally, const Options& options);

}  // namespace plindor::cli
