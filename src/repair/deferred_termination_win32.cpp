#include <windows.h>

#include "repair/deferred_termination.h"

namespace plindor::repair {

namespace {

// Held while a file is rewritten. The console handler takes it and never gives it back, so
// the program ends between two rewrites, never inside one.
CRITICAL_SECTION& Rewriting() {
  static CRITICAL_SECTION section;
  static const bool initialized = (::InitializeCriticalSection(&section), true);
  (void)initialized;
  return section;
}

BOOL WINAPI WaitForRewrite(DWORD) {
  ::EnterCriticalSection(&Rewriting());
  return FALSE;  // the system's own handler ends the program
}

void Install() {
  static const bool installed = ::SetConsoleCtrlHandler(WaitForRewrite, TRUE) != FALSE;
  (void)installed;
}

}  // namespace

// The console's handler already runs in a thread of its own, whatever thread rewrites.
void GuardTermination() { Install(); }

DeferredTermination::DeferredTermination() : saved_{} {
  Install();
  ::EnterCriticalSection(&Rewriting());
}

DeferredTermination::~DeferredTermination() { ::LeaveCriticalSection(&Rewriting()); }

}  // namespace plindor::repair
