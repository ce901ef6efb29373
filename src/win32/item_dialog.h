#pragma once

#include <optional>

#include "win32/open_request.h"

namespace plindor::win32 {

// Asks with the shell's item dialog. A typed path too long for the dialog's own buffers (Wine's
// overrun them, ending the program) is taken from it before it sees the path: an existing file is
// the answer, anything else is refused with a message and the dialog stays open. Returns nothing
// where the system has no item dialog; throws std::runtime_error when it has one that fails.
std::optional<OpenAnswer> AskWithItemDialog(const OpenRequest& request);

}  // namespace plindor::win32
