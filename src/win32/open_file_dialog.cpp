#include "win32/open_file_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/texts.h"
#include "win32/item_dialog.h"
#include "win32/system_function.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {
namespace {

// The longest path the system takes, with its terminating NUL.
constexpr std::size_t kPathCapacity = 32768;

struct CommonDialogLibrary {
  decltype(&::GetOpenFileNameW) open = nullptr;
  decltype(&::CommDlgExtendedError) error = nullptr;
};

const CommonDialogLibrary& LoadCommonDialogLibrary() {
  static const CommonDialogLibrary library = {
      SystemFunction<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW"),
      SystemFunction<decltype(&::CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError"),
  };
  if (library.open == nullptr || library.error == nullptr) {
    throw std::runtime_error("cannot load the file-open dialog (comdlg32.dll, error " +
                             std::to_string(::GetLastError()) + ")");
  }
  return library;
}

// The common dialog, where the system has no item dialog.
OpenAnswer AskWithCommonDialog(const OpenRequest& request) {
  // Pairs of NUL-terminated strings, ended by an empty one.
  const std::wstring filters = request.filter_name + L'\0' + request.filter_pattern + L'\0';
  const CommonDialogLibrary& dialog = LoadCommonDialogLibrary();
  const std::wstring extension = DefaultExtension(request);
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
    open.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    std::copy(name.begin(), name.end(), file.begin());
    if (dialog.open(&open)) return std::wstring(file.data());
    const DWORD error = dialog.error();
    if (error == 0) return std::nullopt;
    // A remembered name the dialog no longer takes must not keep it from opening at all.
    if (error == FNERR_INVALIDFILENAME && !name.empty()) {
      name.clear();
      continue;
    }
    throw DialogFailure(error);
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
  std::optional<OpenAnswer> answer = AskWithItemDialog(request);
  if (!answer) answer = AskWithCommonDialog(request);
  if (!*answer) return std::nullopt;
  return Utf8FromWide(**answer);
}

}  // namespace plindor::win32
