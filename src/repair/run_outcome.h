#pragma once

#include <string_view>

namespace plindor::repair {

// The lines every front end closes a repair with, kept in one place so the window and the
// command line never drift apart.
inline constexpr std::string_view kFixupCompleted = "Fixup completed.";
inline constexpr std::string_view kFixupStopped = "Fixup stopped.";
inline constexpr std::string_view kErrorPrefix = "Error: ";

}  // namespace plindor::repair
