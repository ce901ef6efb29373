#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/change_report.h"
#include "cli/check_report.h"
#include "cli/command_line.h"

namespace plindor::cli {

enum class RunMode {
  kRepair,  // rewrite the files
  kDryRun,  // write nothing; count what each rule would replace
  kDiff,    // write nothing; print a unified diff of what would change
  kCheck,   // write nothing; list the files that would change
};

struct Project {
  std::filesystem::path absolute;  // what is opened
  std::filesystem::path given;     // as the user named it (or a folder they named), to list
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

  // What checks found so far.
  const CheckTally& tally() const { return tally_; }

 private:
  // Lists the files of `project` that would change, or its failure in one line.
  bool Check(const Project& project, const std::vector<FileChange>& changes,
             const std::optional<std::string>& failure);

  RunMode mode_;
  bool quiet_;
  std::filesystem::path base_;
  std::ostream& out_;
  std::ostream& err_;
  CheckTally tally_;
};

// The whole batch: every PATH of `options` in turn, folders searched with --recursive. Returns
// the exit status.
int RunBatch(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace plindor::cli
