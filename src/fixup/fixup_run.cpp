#include "fixup/fixup_run.h"

#include "repair/repair_error.h"
#include "repair/repairer.h"

namespace plindor::fixup {

std::optional<std::string> Fixup(repair::FileSystem& files, repair::ProgressLog& log,
                                 const std::string& project, repair::RepairObserver* observer) {
  try {
    repair::Repairer(files, log, repair::FolderOf(project), observer).FixProjectFile(project);
  } catch (const repair::RepairError& error) {
    return error.what();
  }
  return std::nullopt;
}

void CloseRun(repair::ProgressLog& log, const std::optional<std::string>& failure) {
  if (!failure) {
    log.Append(std::string(kFixupCompleted) + "\r\n");
    return;
  }
  log.Append(std::string(kErrorPrefix) + *failure + "\r\n");
  log.Append(std::string(kFixupStopped) + "\r\n");
}

}  // namespace plindor::fixup
