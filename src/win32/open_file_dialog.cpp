#include "win32/open_file_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/texts.h"
#include "win32/text_encoding.h"

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

// What a file-open dialog is asked: its owner, the folder it opens in and the name it offers there
// (either may be empty), and the one filter it offers.
struct OpenRequest {
  HWND owner = nullptr;
  std::wstring folder;
  std::wstring name;
  std::wstring filter_name;
  std::wstring filter_pattern;
};

// The chosen file's full path, or nothing when the user cancelled.
std::optional<std::wstring> AskWithCommonDialog(const OpenRequest& request) {
  // Pairs of NUL-terminated strings, ended by an empty one.
  const std::wstring filters = request.filter_name + L'\0' + request.filter_pattern + L'\0';
  const DialogLibrary& dialog = LoadDialogLibrary();
  std::wstring name = request.name.size() < kPathCapacity ? request.name : std::wstring();
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::vector<wchar_t> file(kPathCapacity, L'\0');
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = request.owner;
    open.lpstrFilter = filters.c_str();
    open.nFilterIndex = 1;
    open.lpstrFile = file.data();
    open.nMaxFile = static_cast<DWORD>(file.size());
    open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    open.lpstrInitialDir = request.folder.empty() ? nullptr : request.folder.c_str();
    std::copy(name.begin(), name.end(), file.begin());
    if (dialog.open(&open)) return std::wstring(file.data());
    const DWORD error = dialog.error();
    if (error == 0) return std::nullopt;
    // A remembered name the dialog no longer takes must not keep it from opening at all.
    if (error == FNERR_INVALIDFILENAME && !name.empty()) {
      name.clear();
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04lX", static_cast<unsigned long>(error));
    throw std::runtime_error(std::string("the file-open dialog failed (error ") + code + ")");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> OpenFileDialog::ChooseProject(const std::string& start) {
  OpenRequest request{.owner = owner_.hwnd(),
                      .folder = WideFromUtf8(start),
                      .filter_name = WideFromUtf8(desktop::kProjectFilterName),
                      .filter_pattern = WideFromUtf8(desktop::kProjectFilterPattern)};
  // A folder is where the dialog opens; a file's folder opens with the file offered as the name.
  const DWORD attributes = ::GetFileAttributesW(request.folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    const std::size_t split = request.folder.find_last_of(L"\\/");
    request.name = request.folder.substr(split == std::wstring::npos ? 0 : split + 1);
    request.folder.resize(split == std::wstring::npos ? 0 : split + 1);
  }
  const std::optional<std::wstring> chosen = AskWithCommonDialog(request);
  if (!chosen) return std::nullopt;
  return Utf8FromWide(*chosen);
}

}  // namespace plindor::win32
