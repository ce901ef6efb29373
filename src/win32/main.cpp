#include <windows.h>

#include "repair/deferred_termination.h"
#include "win32/start.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  plindor::repair::GuardTermination();
  return plindor::win32::RunProgram(instance);
}
