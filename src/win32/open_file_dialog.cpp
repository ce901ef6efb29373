#include "win32/open_file_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace plindor::win32 {
namespace {

// The longest path the system takes, with its terminating NUL.
constexpr std::size_t kPathCapacity = 32768;

// The dialog's library, loaded when the dialog is first asked for: it brings the shell's
// libraries with it, which would otherwise load with the program and slow its start.
struct DialogLibrary {
  decltype(&::GetOpenFileNameW) open = nullptr;
  decltype(&::CommDlgExtendedError) error = nullptr;
};

const DialogLibrary& LoadDialogLibrary() {
  static const DialogLibrary library = [] {
    // From the system's folder only: never a planted copy beside the program or the project.
    HMODULE module = ::LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    DialogLibrary found;
    if (module != nullptr) {
      found.open = reinterpret_cast<decltype(found.open)>(
          reinterpret_cast<void*>(::GetProcAddress(module, "GetOpenFileNameW")));
      found.error = reinterpret_cast<decltype(found.error)>(
          reinterpret_cast<void*>(::GetProcAddress(module, "CommDlgExtendedError")));
    }
    return found;
  }();
  if (library.open == nullptr || library.error == nullptr) {
    throw std::runtime_error("cannot load the file-open dialog (comdlg32.dll, error " +
                             std::to_string(::GetLastError()) + ")");
  }
  return library;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::optional<std::wstring> OpenFileDialog::ChooseExistingFile(HWND owner,
                                                               const std::wstring& initial,
                                                               const FileFilter& filter) {
  // Pairs of NUL-terminated strings, ended by an empty one.
  std::wstring filters = filter.name + L'\0' + filter.pattern + L'\0';
  const DialogLibrary& dialog = LoadDialogLibrary();
  std::wstring start = initial.size() < kPathCapacity ? initial : std::wstring();
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::vector<wchar_t> file(kPathCapacity, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filters.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    // A folder is where the dialog opens; a file is also offered as the name.
    if (IsFolder(start)) {
      request.lpstrInitialDir = start.c_str();
    } else {
      std::copy(start.begin(), start.end(), file.begin());
    }
    if (dialog.open(&request)) return std::wstring(file.data());
    const DWORD error = dialog.error();
    if (error == 0) return std::nullopt;
    // A remembered name the dialog no longer takes must not keep it from opening at all.
    if (error == FNERR_INVALIDFILENAME && !start.empty()) {
      start.clear();
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04lX", static_cast<unsigned long>(error));
    throw std::runtime_error(std::string("the file-open dialog failed (error ") + code + ")");
  }
  return std::nullopt;
}

}  // namespace plindor::win32
