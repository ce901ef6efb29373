#include "win32/module_path.h"

#include <windows.h>

#include <stdexcept>

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
  std::wstring path = full_path;
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return path;
  // "C:" alone would name the drive's current folder, not its root.
  path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);
  return path;
}

}  // namespace plindor::win32
