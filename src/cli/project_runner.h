#pragma once

#include <filesystem>
#include <ostream>

#include "cli/command_line.h"

namespace plindor::cli {

enum class RunMode {
  kRepair,  // rewrite the files
  kDryRun,  // write nothing; count what each rule would replace
  kDiff,    // write nothing; print a unified diff of what would change
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

  // Repairs (or previews) the project at the absolute path `project`, with its folder as the
  // current directory meanwhile. Returns false when the repair failed; never throws.
  bool Run(const std::filesystem::path& project);

 private:
  RunMode mode_;
  bool quiet_;
  std::filesystem::path base_;
  std::ostream& out_;
  std::ostream& err_;
};

// The whole batch: every PATH of `options` in turn, folders searched with --recursive. Returns
// the exit status.
int RunBatch(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace plindor::cli
