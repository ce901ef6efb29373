#pragma once

#include <windows.h>

namespace plindor::win32 {

// A function of a library in the system's folder, or null where the library or the function is
// missing. Only the system's folder is searched: never a planted copy beside the program or the
// project. The file-open dialogs' libraries are loaded so, when a dialog is first asked for: they
// bring the shell's libraries with them, which would otherwise load with the program and slow its
// start.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace plindor::win32
