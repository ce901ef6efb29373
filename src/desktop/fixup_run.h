#pragma once

#include <string>
#include <string_view>

#include "repair/file_system.h"
#include "repair/progress_log.h"

namespace plindor::desktop {

// The lines every front end closes a repair with, kept in one place so the windows and the
// command line never drift apart.
inline constexpr std::string_view kFixupCompleted = "Fixup completed.";
inline constexpr std::string_view kFixupStopped = "Fixup stopped.";
inline constexpr std::string_view kErrorPrefix = "Error: ";

// One run of a window: repairs the project at `project` (a full path) through `files`, its
// component paths taken from the project's own folder, reporting to `log`; then closes the run with
// "Fixup completed." or, when the repair failed, with "Error: <reason>" and "Fixup stopped.".
// Returns whether the repair succeeded. Only the engine's RepairError is caught; anything else (out
// of memory) is not a failed repair.
bool RunFixup(repair::FileSystem& files, repair::ProgressLog& log, const std::string& project);

// Closes a run that could not start or failed: "Error: <reason>", then "Fixup stopped.".
void LogStopped(repair::ProgressLog& log, std::string_view reason);

}  // namespace plindor::desktop
