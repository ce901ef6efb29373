#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "repair/file_system.h"
#include "repair/progress_log.h"
#include "repair/repair_observer.h"

namespace plindor::fixup {

// The lines every front end closes a run with.
inline constexpr std::string_view kFixupCompleted = "Fixup completed.";
inline constexpr std::string_view kFixupStopped = "Fixup stopped.";
inline constexpr std::string_view kErrorPrefix = "Error: ";

// Repairs the project at `project` (a full path) through `files`, its component paths taken from
// the project's own folder, reporting to `log` and, where given, to `observer`. The first failure
// stops the repair: the files before it stay repaired, the ones after it are not touched. Returns
// the failure's message, or nothing when the repair succeeded. Only the engine's RepairError is a
// failed repair; anything else (out of memory) propagates.
std::optional<std::string> Fixup(repair::FileSystem& files, repair::ProgressLog& log,
                                 const std::string& project,
                                 repair::RepairObserver* observer = nullptr);

// Closes a run in `log`: "Fixup completed." without a failure; for a run that failed, or could
// not start, "Error: <failure>" and then "Fixup stopped.".
void CloseRun(repair::ProgressLog& log, const std::optional<std::string>& failure);

}  // namespace plindor::fixup
