#include "desktop/fixup_run.h"

#include "repair/repair_error.h"
#include "repair/repairer.h"

namespace plindor::desktop {

bool RunFixup(repair::FileSystem& files, repair::ProgressLog& log, const std::string& project) {
  try {
    repair::Repairer(files, log, repair::FolderOf(project)).FixProjectFile(project);
  } catch (const repair::RepairError& error) {
    LogStopped(log, error.what());
    return false;
  }
  log.Append(std::string(kFixupCompleted) + "\r\n");
  return true;
}

void LogStopped(repair::ProgressLog& log, std::string_view reason) {
  log.Append(std::string(kErrorPrefix) + std::string(reason) + "\r\n");
  log.Append(std::string(kFixupStopped) + "\r\n");
}

}  // namespace plindor::desktop
