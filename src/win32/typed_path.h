#pragma once

#include <string>

namespace plindor::win32 {

// What a path can be as a file-open dialog's answer: the full path of the existing file it names,
// or, for anything else, why not in words for a message box. Exactly one of the two is set.
struct PathCheck {
  std::wstring file;
  std::wstring refusal;
};

// Checks `path` as the dialog would, without opening it: a device path is refused before it is
// looked at.
PathCheck CheckAnswer(const std::wstring& path);

}  // namespace plindor::win32
