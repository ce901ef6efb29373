#pragma once

#include <string>
#include <string_view>

namespace plindor::cli {

// `text` safe to show on a terminal, one line for one line: control characters (C0, DEL, and
// C1 whether UTF-8 encoded or raw) become C escapes (\n, \r, \t, \e, else \xHH), so that a
// file name can neither start a new line nor steer the terminal. Backslashes stay as they
// are: Windows paths are full of them. Other bytes, valid UTF-8 or not, pass unchanged.
std::string ForTerminal(std::string_view text);

}  // namespace plindor::cli
