#pragma once

#include <string>

#include "repair/file_system.h"
#include "repair/progress_log.h"

namespace plindor::repair {

// Repairs a project and the forms and user controls it lists, in place. Borrows the file
// service and the log for its own lifetime; the first failure propagates as a RepairError.
class Repairer final {
 public:
  Repairer(FileSystem& files, ProgressLog& log) : files_(files), log_(log) {}
  Repairer(const Repairer&) = delete;
  Repairer& operator=(const Repairer&) = delete;

  // Rewrites the project file with the project rules, then repairs every "form=" and
  // "usercontrol=" entry in file order. Component paths resolve against the current directory.
  void FixProjectFile(const std::string& path);
  // Rewrites one form or user-control file with the component rules.
  void FixComponentFile(const std::string& path);

 private:
  std::string ReadWhole(const std::string& path);
  void WriteWhole(const std::string& path, std::string_view text);

  FileSystem& files_;
  ProgressLog& log_;
};

}  // namespace plindor::repair
