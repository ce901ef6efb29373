#pragma once

#include <span>
#include <string>
#include <string_view>

#include "repair/file_system.h"
#include "repair/progress_log.h"
#include "repair/repair_observer.h"
#include "repair/rules.h"

namespace plindor::repair {

// Repairs a project and the forms and user controls it lists, in place. Borrows the file
// service, the log and the observer for its own lifetime; the first failure propagates as a
// RepairError.
class Repairer final {
 public:
  // Relative component paths resolve against `base_folder`, normally the project's own folder
  // (see FolderOf); when it is empty, against the current directory.
  Repairer(FileSystem& files, ProgressLog& log, std::string base_folder = {},
           RepairObserver* observer = nullptr)
      : files_(files), log_(log), base_folder_(std::move(base_folder)), observer_(observer) {}
  Repairer(const Repairer&) = delete;
  Repairer& operator=(const Repairer&) = delete;

  // Rewrites the project file at `path` (absolute, or relative to the current directory) with
  // the project rules, then repairs every "form=" and "usercontrol=" entry in file order.
  void FixProjectFile(const std::string& path);
  // Rewrites one form or user-control file with the component rules.
  void FixComponentFile(const std::string& path);

 private:
  // Logs `heading` and the path, then reads, repairs and rewrites the file. Returns the text
  // written.
  std::string Fix(std::string_view heading, const std::string& base, const std::string& path,
                  FileRole role, std::span<const Rule> table);

  FileSystem& files_;
  ProgressLog& log_;
  std::string base_folder_;
  RepairObserver* observer_;
};

// The folder part of `path`, without its last separator: "" for a bare name, "/" for a file at
// the root. Windows paths also split at backslashes and after a drive ("C:").
std::string FolderOf(std::string_view path);

}  // namespace plindor::repair
