#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/change_report.h"
#include "cli/check_report.h"
#include "cli/command_line.h"
#include "repair/file_system.h"

namespace plindor::cli {

enum class RunMode {
  kRepair,  // rewrite the files
  kDryRun,  // write nothing; count what each rule would replace
  kDiff,    // write nothing; print a unified diff of what would change
  kCheck,   // write nothing; list the files that would change
};

struct Project {
  std::filesystem::path absolute;  // what is opened
  std::filesystem::path given;     // as the user named it, or reached it from what they named
};

// A project known before its run not to open: a group that can't be read, or a project a group
// lists that leads nowhere. Its run fails as that of any project that can't be opened.
struct Unopened {
  std::string path;    // as the log names it
  std::string listed;  // as --check lists it
  std::string failure;
};

// Runs the repair of one project after another, as the window does, and reports each on the
// terminal.
class ProjectRunner final {
 public:
  // Paths in diffs are shown relative to `base` (normally the folder the program started in).
  ProjectRunner(RunMode mode, bool quiet, std::filesystem::path base, std::ostream& out,
                std::ostream& err)
      : mode_(mode), quiet_(quiet), base_(std::move(base)), out_(out), err_(err) {}
  ProjectRunner(const ProjectRunner&) = delete;
  ProjectRunner& operator=(const ProjectRunner&) = delete;

  // Repairs (or previews) `project`. Returns false when the repair failed; never throws.
  bool Run(const Project& project);
  bool Run(const Unopened& project);

  // What checks found so far.
  const CheckTally& tally() const { return tally_; }

 private:
  // --check's name for a file of the project that would change.
  using ListChange = std::function<std::string(const FileChange&)>;

  bool Run(repair::FileSystem& files, const std::string& path, const std::string& listed,
           const ListChange& list_change);
  // Lists the files of the project `listed` that would change, or its failure in one line.
  bool Check(const std::string& listed, const ListChange& list_change,
             const std::vector<FileChange>& changes, const std::optional<std::string>& failure);

  RunMode mode_;
  bool quiet_;
  std::filesystem::path base_;
  std::ostream& out_;
  std::ostream& err_;
  CheckTally tally_;
};

// The whole batch: every PATH of `options` in turn, folders searched with --recursive, groups
// read for the projects they list; a project reached twice, however named, runs once. Returns
// the exit status.
int RunBatch(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace plindor::cli
