#include "win32/project_dialog.h"

#include "desktop/texts.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {

std::optional<std::string> ProjectDialog::ChooseProject(const std::string& start) {
  const std::optional<std::wstring> chosen = chooser_.ChooseExistingFile(
      owner_.hwnd(), WideFromUtf8(start),
      {WideFromUtf8(desktop::kProjectFilterName), WideFromUtf8(desktop::kProjectFilterPattern)});
  if (!chosen) return std::nullopt;
  return Utf8FromWide(*chosen);
}

}  // namespace plindor::win32
