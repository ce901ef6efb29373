#include "desktop/find_and_fix.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "desktop/current_folder.h"
#include "fixup/fixup_run.h"
#include "repair/repairer.h"

namespace plindor::desktop {

FindAndFix::FindAndFix(ProjectChooser& chooser, repair::FileSystem& files, repair::ProgressLog& log,
                       std::string start)
    : chooser_(chooser), files_(files), log_(log), start_(std::move(start)) {}

bool FindAndFix::Run() {
  std::optional<std::string> chosen;
  try {
    chosen = chooser_.ChooseProject(start_);
  } catch (const std::runtime_error& error) {
    fixup::CloseRun(log_, error.what());
    return false;
  }
  if (!chosen) return false;
  start_ = *chosen;

  // Component paths in a project are relative to its folder, and the dialog does not move there.
  try {
    MakeCurrentFolder(repair::FolderOf(*chosen));
  } catch (const std::runtime_error& error) {
    fixup::CloseRun(log_, error.what());
    return false;
  }
  const std::optional<std::string> failure = fixup::Fixup(files_, log_, *chosen);
  fixup::CloseRun(log_, failure);
  return !failure;
}

}  // namespace plindor::desktop
