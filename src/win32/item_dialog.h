#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace plindor::win32 {

// What a file-open dialog is asked: its owner, the folder it opens in and the name it offers there
// (either may be empty), and the one filter it offers. The dialog accepts only the name of an
// existing file, whatever the filter shows.
struct OpenRequest {
  HWND owner = nullptr;
  std::wstring folder;
  std::wstring name;
  std::wstring filter_name;
  std::wstring filter_pattern;
};

// The chosen file's full path, or nothing when the user cancelled.
using OpenAnswer = std::optional<std::wstring>;

// The failure of a file-open dialog, with the system's code.
std::runtime_error DialogFailure(unsigned long code);

// Asks with the shell's item dialog. A typed path too long for the dialog's own buffers (Wine's
// overrun them, ending the program) is taken from it before it sees the path: an existing file is
// the answer, anything else is refused with a message and the dialog stays open. Returns nothing
// where the system has no item dialog; throws std::runtime_error when it has one that fails.
std::optional<OpenAnswer> AskWithItemDialog(const OpenRequest& request);

}  // namespace plindor::win32
