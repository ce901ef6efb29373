#include "cli/check_report.h"

#include <algorithm>

#include "cli/terminal_text.h"
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

std::optional<std::string> ShellWord(std::string_view word) {
  if (ForTerminal(word) != word) return std::nullopt;
#ifdef _WIN32
  constexpr std::string_view kSafe = "_@+=:,./\\-";
  if (word.find_first_of("%!$`") != std::string_view::npos) return std::nullopt;
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
  std::string quoted = "\"";
  quoted.append(word);
  return quoted + '"';
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
  const struct {
    std::size_t count;
    std::string_view one, many, verb;
  } unreached[] = {{tally.failed, "project", "projects", "checked"},
                   {tally.unsearched, "folder", "folders", "searched"}};
  for (const auto& [count, one, many, verb] : unreached) {
    if (count == 0) continue;
    if (!summary.empty()) summary += "; ";
    summary += Counted(count, one, many) + " could not be " + std::string(verb);
  }
  if (tally.files == 0) return summary;

  // The paths given would lead the repair into what fails as well.
  const bool whole = tally.failed == 0 && tally.unsearched == 0;
  std::vector<std::string> words;
  std::size_t unspellable = 0;
  for (const std::string& path : whole ? options.paths : tally.projects) {
    const std::optional<std::string> word = ShellWord(path);
    if (!word) {
      ++unspellable;
    } else if (std::ranges::find(words, *word) == words.end()) {
      words.push_back(*word);
    }
  }
  std::string command = "plindor-cli";
  if (options.recursive && whole) command += " --recursive";
  if (options.code_page != repair::kDefaultCodePage) {
    command += " --codepage " + std::to_string(options.code_page);
  }
  // A path that begins with a dash must not be read as an option.
  const bool dashed =
      std::ranges::any_of(words, [](const std::string& word) { return word.starts_with('-'); });
  if (dashed) command += " --";
  for (const std::string& word : words) command += " " + word;
  if (!words.empty()) summary += "; repair with: " + command;
  if (unspellable > 0) {
    summary += "; " + Counted(unspellable, "path", "paths") +
               " to repair by name, which no command here can spell as it is";
  }
  return summary;
}

}  // namespace plindor::cli
