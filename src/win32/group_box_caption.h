#pragma once

#include <windows.h>

namespace plindor::win32 {

// Makes a group box draw itself: an etched frame, and its caption over the frame's top edge in the
// colours its parent gives through WM_CTLCOLORSTATIC. A themed group box ignores those colours.
// Also answers WM_PRINTCLIENT, so the drawing can be read back.
void DrawCaptionItself(HWND group_box);

}  // namespace plindor::win32
