#include "win32/module_path.h"

#include <windows.h>

#include <stdexcept>

#include "repair/repairer.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw std::runtime_error("cannot find the program's own file");
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramFolder() { return FolderOf(ProgramPath()); }

std::wstring FolderOf(const std::wstring& full_path) {
  return WideFromUtf8(repair::FolderOf(Utf8FromWide(full_path)));
}

}  // namespace plindor::win32
