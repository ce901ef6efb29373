#pragma once

#include "win32/file_chooser.h"

namespace plindor::win32 {

// The system's file-open dialog. It accepts only the name of an existing file, whatever the
// filter shows, and takes paths as long as the system allows.
class OpenFileDialog final : public FileChooser {
 public:
  std::optional<std::wstring> ChooseExistingFile(HWND owner, const std::wstring& initial,
                                                 const FileFilter& filter) override;
};

}  // namespace plindor::win32
