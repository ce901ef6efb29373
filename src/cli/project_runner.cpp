#include "cli/project_runner.h"

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/change_summary.h"
#include "cli/current_directory.h"
#include "cli/dry_run_file_system.h"
#include "cli/project_discovery.h"
#include "cli/terminal_log.h"
#include "cli/unified_diff.h"
#include "repair/disk_file_system.h"
#include "repair/repairer.h"

namespace plindor::cli {

namespace {

// The name a diff gives a file: relative to `base` where that reads naturally, with forward
// slashes on every system, which is what patch tools take.
std::string DiffName(const std::filesystem::path& location, const std::filesystem::path& base) {
  const std::filesystem::path normal = location.lexically_normal();
  const std::filesystem::path relative = normal.lexically_relative(base);
  if (relative.empty() || *relative.begin() == "..") return normal.generic_string();
  return relative.generic_string();
}

// An absolute path without "." elements, in the system's own separators (on Windows a path
// given with slashes is shown with backslashes). ".." stays: it may lead through a symbolic link.
std::filesystem::path Absolute(const std::filesystem::path& path) {
  std::filesystem::path result;
  for (const auto& element : std::filesystem::absolute(path)) {
    if (element != ".") result /= element;
  }
  return result.make_preferred();
}

}  // namespace

bool ProjectRunner::Run(const std::filesystem::path& project) {
  const bool hold = quiet_ || mode_ == RunMode::kDiff;
  TerminalLog log(out_, mode_ == RunMode::kDiff ? err_ : out_, hold);
  repair::DiskFileSystem disk;
  DryRunFileSystem dry_run(disk);
  repair::FileSystem& files = mode_ == RunMode::kRepair ? static_cast<repair::FileSystem&>(disk)
                                                        : static_cast<repair::FileSystem&>(dry_run);

  std::optional<std::string> failure;
  try {
    const CurrentDirectory in_project_folder(project.parent_path());
    repair::Repairer(files, log).FixProjectFile(project.string());
  } catch (const std::exception& e) {
    failure = e.what();
  }

  // What a real run would have changed up to a failure, it changes all the same.
  if (mode_ == RunMode::kDryRun) {
    for (const FileChange& change : SummarizeChanges(dry_run)) log.Line(FormatChange(change));
  } else if (mode_ == RunMode::kDiff) {
    for (const CapturedFile& file : dry_run.files()) {
      out_ << UnifiedDiff(DiffName(file.location, base_), file.original, file.repaired);
    }
    out_.flush();
  }

  if (failure) {
    log.Fail(*failure);
    return false;
  }
  log.Complete();
  return true;
}

int RunBatch(const Options& options, std::ostream& out, std::ostream& err) {
  const RunMode mode = options.diff      ? RunMode::kDiff
                       : options.dry_run ? RunMode::kDryRun
                                         : RunMode::kRepair;
  const std::filesystem::path base = std::filesystem::current_path();

  // Every path is made absolute up front: each run moves the current directory.
  std::vector<std::filesystem::path> projects;
  std::ostream& failures = mode == RunMode::kDiff ? err : out;  // keeps a diff clean
  bool ok = true;
  for (const std::string& path : options.paths) {
    std::error_code error;
    if (options.recursive && std::filesystem::is_directory(path, error)) {
      try {
        const std::vector<std::filesystem::path> found = FindProjects(path);
        if (found.empty()) err << "No project files found in " << path << "\n";
        for (const auto& project : found) projects.push_back(Absolute(project));
      } catch (const std::filesystem::filesystem_error& e) {
        failures << "Error: cannot search the folder \"" << path << "\": " << e.code().message()
                 << "\n";
        ok = false;
      }
    } else {
      projects.push_back(Absolute(path));
    }
  }

  ProjectRunner runner(mode, options.quiet, base, out, err);
  for (const auto& project : projects) ok = runner.Run(project) && ok;

  out.flush();
  if (!out) {
    err << "Error: cannot write to standard output\n";
    return kExitFailure;
  }
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace plindor::cli
