#include "cli/check_report.h"

#include <algorithm>

#include "cli/utf8_path.h"
#include "repair/path_text.h"

namespace plindor::cli {

namespace {

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

std::filesystem::path WithoutDotElements(const std::filesystem::path& path) {
  std::filesystem::path result;
  for (const auto& element : path) {
    if (element != ".") result /= element;
  }
  return result.empty() ? std::filesystem::path(".") : result;
}

std::string ListedProject(const std::filesystem::path& project_given) {
  return Utf8FromPath(WithoutDotElements(project_given).make_preferred());
}

std::string ListedMember(std::string_view name, const std::string& location,
                         const std::filesystem::path& container_absolute,
                         const std::filesystem::path& container_given) {
  const std::filesystem::path found = PathFromUtf8(location);
  // The name is the container's bytes, which need not be UTF-8, so no path is made of it.
  if (repair::IsFromRoot(name)) return Utf8FromPath(found);
  const std::filesystem::path relative = found.lexically_relative(container_absolute.parent_path());
  if (relative.empty()) return Utf8FromPath(found);
  const std::filesystem::path given = WithoutDotElements(container_given);
  return Utf8FromPath(WithoutDotElements(given.parent_path() / relative).make_preferred());
}

std::string ListedPath(const FileChange& change, const std::filesystem::path& project_absolute,
                       const std::filesystem::path& project_given) {
  if (change.role == repair::FileRole::kProject) return ListedProject(project_given);
  return ListedMember(change.path, change.location, project_absolute, project_given);
}

std::string ShellWord(std::string_view word) {
#ifdef _WIN32
  constexpr std::string_view kSafe = "_@%+=:,./\\-";
#else
  constexpr std::string_view kSafe = "_@%+=:,./-";
#endif
  const bool plain = !word.empty() && std::ranges::all_of(word, [&](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kSafe.find(c) != std::string_view::npos;
  });
  if (plain) return std::string(word);
#ifdef _WIN32
  // cmd.exe and PowerShell both take a double-quoted word; a double quote can't be in a name.
  return "\"" + std::string(word) + "\"";
#else
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

std::string CheckSummary(const CheckTally& tally, const Options& options) {
  std::string summary;
  if (tally.files > 0) {
    summary = Counted(tally.files, "file", "files") + " in " +
              Counted(tally.projects.size(), "project", "projects") +
              (tally.files == 1 ? " needs" : " need") + " repair";
  }
  if (tally.failed > 0) {
    if (!summary.empty()) summary += "; ";
    summary += Counted(tally.failed, "project", "projects") + " could not be checked";
  }
  if (tally.files == 0) return summary;

  // The paths given would lead the repair into the projects that fail as well.
  const std::vector<std::string>& paths = tally.failed > 0 ? tally.projects : options.paths;
  std::string command = "plindor-cli";
  if (options.recursive && tally.failed == 0) command += " --recursive";
  if (options.code_page != repair::kDefaultCodePage) {
    command += " --codepage " + std::to_string(options.code_page);
  }
  // A path that begins with a dash must not be read as an option.
  const bool dashed =
      std::ranges::any_of(paths, [](const std::string& path) { return path.starts_with('-'); });
  if (dashed) command += " --";
  for (const std::string& path : paths) command += " " + ShellWord(path);
  return summary + "; repair with: " + command;
}

}  // namespace plindor::cli
