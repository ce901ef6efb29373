#include <windows.h>

#include "win32/start.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  return plindor::win32::RunProgram(instance);
}
