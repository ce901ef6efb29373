#include "cli/project_runner.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <variant>
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
#include "repair/disk_reader.h"
#include "repair/path_text.h"
#include "repair/project_group.h"
#include "repair/repair_error.h"

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

// A project that can't be opened, known before its run: every open fails, saying why.
class UnopenedFiles final : public repair::FileSystem {
 public:
  explicit UnopenedFiles(const std::string& failure) : failure_(failure) {}
  std::unique_ptr<repair::RepairFile> OpenForRepair(const std::string&, const std::string&,
                                                    Wait) override {
    throw repair::RepairError(failure_);
  }
  void Commit(const repair::CommitReport&) override {}

 private:
  const std::string& failure_;
};

// The projects of a batch in the order they are named, each once however it is reached from one
// folder (named twice, through a group, through a link): files are told apart by identity, not
// by name.
class BatchList final {
 public:
  using Item = std::variant<Project, Unopened>;

  // `given` as the user named the project, or the folder it was found in.
  void AddProject(const std::filesystem::path& given) {
    const std::filesystem::path absolute = Absolute(given);
    try {
      if (!repair::FirstReach(reached_, reader_.Find({}, Utf8FromPath(absolute)))) return;
    } catch (const repair::RepairError&) {
      // Not found as a file to read: its run says why.
    }
    items_.push_back(Project{absolute, given});
  }

  // The projects the group `given` lists, in order; the group itself when it can't be read.
  void AddGroup(const std::filesystem::path& given) {
    const std::filesystem::path absolute = Absolute(given);
    repair::ProjectGroup group;
    try {
      group = repair::ReadProjectGroup(reader_, Utf8FromPath(absolute), reached_);
    } catch (const repair::RepairError& error) {
      items_.push_back(Unopened{Utf8FromPath(absolute), ListedProject(given), error.what()});
      return;
    }
    const std::filesystem::path group_found = PathFromUtf8(group.group.location);
    for (const repair::GroupMember& member : group.members) {
      const std::string& found = member.file.location;
      if (member.failure.empty()) {
        items_.push_back(
            Project{PathFromUtf8(found),
                    PathFromUtf8(ListedMember(member.listed, found, group_found, given))});
      } else {
        // A name that leads nowhere is shown as the group writes it, bytes that need not be
        // UTF-8: no path is made of it.
        const std::string folder = repair::FolderOf(ListedProject(given));
        items_.push_back(
            Unopened{found, repair::JoinedPath(folder, member.listed), member.failure});
      }
    }
  }

  const std::vector<Item>& items() const { return items_; }

 private:
  repair::DiskReader reader_;
  repair::ReachedFiles reached_;
  std::vector<Item> items_;
};

}  // namespace

bool ProjectRunner::Run(const Project& project) {
  repair::DiskFileSystem files(mode_ == RunMode::kRepair ? repair::DiskFileSystem::Mode::kRepair
                                                         : repair::DiskFileSystem::Mode::kPreview);
  return Run(files, Utf8FromPath(project.absolute), ListedProject(project.given),
             [&](const FileChange& change) {
               return ListedPath(change, project.absolute, project.given);
             });
}

bool ProjectRunner::Run(const Unopened& project) {
  UnopenedFiles files(project.failure);
  return Run(files, project.path, project.listed, {});
}

bool ProjectRunner::Run(repair::FileSystem& files, const std::string& path,
                        const std::string& listed, const ListChange& list_change) {
  // Output that is not the log keeps standard output for itself and failures off it.
  const bool own_output = mode_ == RunMode::kDiff || mode_ == RunMode::kCheck;
  TerminalLog log(out_, own_output ? err_ : out_, quiet_ || own_output);
  ChangeRecorder changes(mode_ == RunMode::kDiff);
  const std::optional<std::string> failure = fixup::Fixup(files, log, path, &changes);
  if (mode_ == RunMode::kCheck) return Check(listed, list_change, changes.changes(), failure);

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

bool ProjectRunner::Check(const std::string& listed, const ListChange& list_change,
                          const std::vector<FileChange>& changes,
                          const std::optional<std::string>& failure) {
  // A project that fails can't be repaired either: what it would change up to there is no
  // answer, and its log would read as a repair.
  if (failure) {
    ++tally_.failed;
    err_ << ForTerminal(std::string(fixup::kErrorPrefix) + listed + ": " + *failure) << "\n"
         << std::flush;
    return false;
  }
  const std::size_t before = tally_.files;
  for (const FileChange& change : changes) {
    if (!change.changed) continue;
    ++tally_.files;
    if (!quiet_) out_ << ForTerminal(list_change(change)) << "\n";
  }
  if (tally_.files > before) tally_.projects.push_back(listed);
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
  BatchList batch;
  bool ok = true;
  std::size_t unsearched = 0;  // folders
  for (const std::string& argument : options.paths) {
    const std::filesystem::path path = PathFromUtf8(argument);
    std::error_code error;
    if (options.recursive && std::filesystem::is_directory(path, error)) {
      const ProjectSearch search = FindProjects(path);
      for (const std::string& failure : search.failures) {
        err << fixup::kErrorPrefix << ForTerminal(failure) << "\n";
        ok = false;
        ++unsearched;
      }
      if (search.projects.empty() && search.failures.empty()) {
        err << "No project files found in " << ForTerminal(argument) << "\n";
      }
      for (const auto& project : search.projects) batch.AddProject(project);
    } else if (repair::IsProjectGroupName(argument)) {
      batch.AddGroup(path);
    } else {
      batch.AddProject(path);
    }
  }

  ProjectRunner runner(mode, options.quiet, base, out, err);
  for (const auto& item : batch.items()) {
    ok = std::visit([&](const auto& project) { return runner.Run(project); }, item) && ok;
  }
  CheckTally tally = runner.tally();
  tally.unsearched = unsearched;
  if (options.check && (tally.files > 0 || tally.failed > 0 || unsearched > 0) && !options.quiet) {
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
