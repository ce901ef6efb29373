#pragma once

#include <windows.h>

#include <string>

namespace plindor::win32 {

// The text or caption of a window or control of this process.
inline std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace plindor::win32
