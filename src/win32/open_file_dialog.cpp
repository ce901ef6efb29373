#include "win32/open_file_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace plindor::win32 {
namespace {

// The longest path the system takes, with its terminating NUL.
constexpr std::size_t kPathCapacity = 32768;

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
    if (::GetOpenFileNameW(&request)) return std::wstring(file.data());
    const DWORD error = ::CommDlgExtendedError();
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
