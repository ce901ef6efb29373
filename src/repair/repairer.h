#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "repair/file_system.h"
#include "repair/path_text.h"
#include "repair/progress_log.h"
#include "repair/repair_observer.h"
#include "repair/rules.h"

namespace plindor::repair {

// Repairs a project and the forms and user controls it lists, in place. Borrows the file
// service, the log and the observer for its own lifetime; the first failure propagates as a
// RepairError.
//
// Files are read, repaired and prepared one after another and rewritten in batches (up to 128
// files, or 32 MiB counting each file's text before and after its repair), so that the disk is
// flushed once per batch rather than once per file. The log and the observer hear of a file when
// its batch has been rewritten, so they tell the same story as one file at a time would: every file
// logged before a failure was repaired, and the failing file's line is the last.
class Repairer final {
 public:
  // Relative component paths resolve against `base_folder`, normally the project's own folder
  // (see FolderOf); when it is empty, against the current directory.
  Repairer(FileSystem& files, ProgressLog& log, std::string base_folder = {},
           RepairObserver* observer = nullptr);
  ~Repairer();
  Repairer(const Repairer&) = delete;
  Repairer& operator=(const Repairer&) = delete;

  // Rewrites the project file at `path` (absolute, or relative to the current directory) with
  // the project rules, then repairs every "form=" and "usercontrol=" entry in file order.
  void FixProjectFile(const std::string& path);
  // Rewrites one form or user-control file with the component rules.
  void FixComponentFile(const std::string& path);

 private:
  struct Staged;

  // Opens, reads, repairs and prepares one file; returns the text it will be rewritten with,
  // which lives until the file is committed.
  const std::string& Stage(std::string_view heading, const std::string& base,
                           const std::string& path, FileRole role, std::span<const Rule> table);
  // Rewrites the staged files and logs them; throws at the first that fails.
  void Commit();
  // Ends the repair at a file that could not be staged: the files before it are committed
  // first, then its line is logged and `error` raised.
  [[noreturn]] void FailAt(Staged& staged, const std::string& error);
  void Report(const Staged& staged, FileOutcome outcome, std::string_view error);

  FileSystem& files_;
  ProgressLog& log_;
  std::string base_folder_;
  RepairObserver* observer_;
  std::vector<std::unique_ptr<Staged>> staged_;
  std::uint64_t staged_bytes_ = 0;
};

}  // namespace plindor::repair
