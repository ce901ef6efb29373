#pragma once

namespace plindor::win32 {

// Runs the program's windows until WM_QUIT; returns its exit code. Keys go through the dialog
// manager of the window they belong to, so Tab, Esc and Return work in every window.
int RunMessageLoop();

// Handles the messages already waiting, once, and returns; a WM_QUIT among them stays queued.
void ProcessPendingMessages();

}  // namespace plindor::win32
