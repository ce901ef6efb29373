#pragma once

#include <windows.h>

namespace plindor::win32 {

// A multi-line edit box asks the dialog manager for every key, so by default Tab, Esc and
// Return would stay inside it. This hands Tab (next control) and Esc (cancel) back to the
// window, and Return too unless the box takes it as a line break.
void RouteDialogKeys(HWND edit, bool keeps_return);

// Discards every character typed into `edit`, Backspace and control characters included, so
// the keyboard cannot change its text. Keys that type nothing (Delete, the cursor keys) still
// work, and so do Tab and Esc, which belong to the window.
void DiscardTypedCharacters(HWND edit);

}  // namespace plindor::win32
