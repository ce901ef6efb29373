#include "cli/project_runner.h"

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/change_report.h"
#include "cli/check_report.h"
#include "cli/project_discovery.h"
#include "cli/terminal_log.h"
#include "cli/terminal_text.h"
#include "cli/unified_diff.h"
#include "cli/utf8_path.h"
#include "fixup/fixup_run.h"
#include "repair/disk_file_system.h"

namespace plindor::cli {

namespace {

// The name a diff gives a file: relative to `base` where that reads naturally, with forward
// slashes on every system, which is what patch tools take.
std::string DiffName(const std::string& location, const std::filesystem::path& base) {
  const std::filesystem::path normal = PathFromUtf8(location).lexically_normal();
  const std::filesystem::path relative = normal.lexically_relative(base);
  if (relative.empty() || *relative.begin() == "..") return GenericUtf8FromPath(normal);
  return GenericUtf8FromPath(relative);
}

// An absolute path without "." elements, in the system's own separators (on Windows a path
// given with slashes is shown with backslashes).
std::filesystem::path Absolute(const std::filesystem::path& path) {
  return WithoutDotElements(std::filesystem::absolute(path)).make_preferred();
}

}  // namespace

bool ProjectRunner::Run(const Project& project) {
  // Output that is not the log keeps standard output for itself and failures off it.
  const bool own_output = mode_ == RunMode::kDiff || mode_ == RunMode::kCheck;
  TerminalLog log(out_, own_output ? err_ : out_, quiet_ || own_output);
  repair::DiskFileSystem files(mode_ == RunMode::kRepair ? repair::DiskFileSystem::Mode::kRepair
                                                         : repair::DiskFileSystem::Mode::kPreview);
  ChangeRecorder changes(mode_ == RunMode::kDiff);
  const std::optional<std::string> failure =
      fixup::Fixup(files, log, Utf8FromPath(project.absolute), &changes);
  if (mode_ == RunMode::kCheck) return Check(project, changes.changes(), failure);

  // What a real run would have changed up to a failure, it changes all the same.
  if (mode_ == RunMode::kDryRun) {
    for (const FileChange& change : changes.changes()) log.Line(FormatChange(change));
  } else if (mode_ == RunMode::kDiff) {
    for (const FileChange& change : changes.changes()) {
      out_ << UnifiedDiff(DiffName(change.location, base_), change.before, change.after);
    }
    out_.flush();
  }

  fixup::CloseRun(log, failure);
  if (failure) log.ShowHeld();
  return !failure;
}

bool ProjectRunner::Check(const Project& project, const std::vector<FileChange>& changes,
                          const std::optional<std::string>& failure) {
  // A project that fails can't be repaired either: what it would change up to there is no
  // answer, and its log would read as a repair.
  if (failure) {
    ++tally_.failed;
    err_ << ForTerminal(std::string(fixup::kErrorPrefix) + ListedProject(project.given) + ": " +
                        *failure)
         << "\n"
         << std::flush;
    return false;
  }
  const std::size_t before = tally_.files;
  for (const FileChange& change : changes) {
    if (!change.changed) continue;
    ++tally_.files;
    if (!quiet_) out_ << ForTerminal(ListedPath(change, project.absolute, project.given)) << "\n";
  }
  if (tally_.files > before) tally_.projects.push_back(ListedProject(project.given));
  out_.flush();
  return true;
}

int RunBatch(const Options& options, std::ostream& out, std::ostream& err) {
  const RunMode mode = options.diff      ? RunMode::kDiff
                       : options.dry_run ? RunMode::kDryRun
                       : options.check   ? RunMode::kCheck
                                         : RunMode::kRepair;
  const std::filesystem::path base = std::filesystem::current_path();

  // Every path is made absolute up front, so that what a run prints names it fully.
  std::vector<Project> projects;
  bool ok = true;
  for (const std::string& argument : options.paths) {
    const std::filesystem::path path = PathFromUtf8(argument);
    std::error_code error;
    if (options.recursive && std::filesystem::is_directory(path, error)) {
      const ProjectSearch search = FindProjects(path);
      for (const std::string& failure : search.failures) {
        err << fixup::kErrorPrefix << ForTerminal(failure) << "\n";
        ok = false;
      }
      if (search.projects.empty() && search.failures.empty()) {
        err << "No project files found in " << ForTerminal(argument) << "\n";
      }
      for (const auto& project : search.projects) projects.push_back({Absolute(project), project});
    } else {
      projects.push_back({Absolute(path), path});
    }
  }

  ProjectRunner runner(mode, options.quiet, base, out, err);
  for (const auto& project : projects) ok = runner.Run(project) && ok;
  const CheckTally& tally = runner.tally();
  if ((tally.files > 0 || tally.failed > 0) && !options.quiet) {
    err << ForTerminal(CheckSummary(tally, options)) << "\n";
  }
  if (tally.files > 0) ok = false;

  out.flush();
  if (!out) {
    err << fixup::kErrorPrefix << "cannot write to standard output\n";
    return kExitFailure;
  }
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace plindor::cli
