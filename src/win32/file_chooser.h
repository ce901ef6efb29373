#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace plindor::win32 {

// The one filter a file-open dialog offers: what it shows, and the names it matches.
struct FileFilter {
  std::wstring name;
  std::wstring pattern;
};

// Asks the user for one existing file. The main window goes through this seam so that tests can
// answer in place of a user without a modal dialog blocking them.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Shows a modal file-open dialog over `owner` that starts from `initial` (a folder, or a file
  // whose folder opens with the file's name filled in) and offers `filter`. Returns the chosen
  // file's full path, or nothing when the user cancels. Throws std::runtime_error when the
  // dialog cannot be shown.
  virtual std::optional<std::wstring> ChooseExistingFile(HWND owner, const std::wstring& initial,
                                                         const FileFilter& filter) = 0;
};

}  // namespace plindor::win32
