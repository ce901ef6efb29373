#pragma once

#include <windows.h>

namespace plindor::win32 {

// The whole run of the program: shows the terms window first, with nothing before it, and
// returns the exit code once the last window has closed. Reads no command line.
int RunProgram(HINSTANCE instance);

}  // namespace plindor::win32
