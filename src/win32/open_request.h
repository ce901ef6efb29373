#pragma once

#include <windows.h>

#include <cstdio>
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

// The extension the filter's one pattern gives ("*.vbp" gives "vbp"), which the dialog adds to a
// name typed without one; none for a pattern of any other shape.
inline std::wstring DefaultExtension(const OpenRequest& request) {
  const std::wstring& pattern = request.filter_pattern;
  if (!pattern.starts_with(L"*.") || pattern.find_first_of(L"*?;", 2) != std::wstring::npos) {
    return {};
  }
  return pattern.substr(2);
}

// The chosen file's full path, or nothing when the user cancelled.
using OpenAnswer = std::optional<std::wstring>;

// The failure of a file-open dialog, with the system's code.
inline std::runtime_error DialogFailure(unsigned long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04lX", code);
  return std::runtime_error(std::string("the file-open dialog failed (error ") + text + ")");
}

}  // namespace plindor::win32
