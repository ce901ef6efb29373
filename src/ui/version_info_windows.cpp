#ifdef _WIN32

#include <windows.h>

#include <QString>

#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/version_info.h"

namespace plindor::ui {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("cannot read the program's version record: " + what +
                           "; reinstall the program");
}

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      Fail("the program's own path is unknown");
    }
    // A full buffer means the path may have been cut short.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

QString StringField(const std::vector<BYTE>& block, const std::wstring& table,
                    const wchar_t* name) {
  const std::wstring key = table + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || value == nullptr) {
    return QString();
  }
  // The length counts characters and may or may not include the terminator.
  const auto* text = static_cast<const wchar_t*>(value);
  return QString::fromWCharArray(text, static_cast<qsizetype>(wcsnlen(text, length)));
}

std::wstring StringTable(const std::vector<BYTE>& block) {
  struct Translation {
    WORD language;
    WORD code_page;
  };
  // U.S. English, Unicode: the record's own language, used when it lists none.
  Translation chosen{0x0409, 0x04B0};
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
      value != nullptr && length >= sizeof(Translation)) {
    chosen = *static_cast<const Translation*>(value);
  }
  wchar_t table[40] = {};
  swprintf(table, sizeof table / sizeof table[0], L"\\StringFileInfo\\%04X%04X\\",
           static_cast<unsigned>(chosen.language), static_cast<unsigned>(chosen.code_page));
  return table;
}

}  // namespace

VersionInfo ReadVersionInfo() {
  const std::wstring path = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) {
    Fail("the program carries no version resource");
  }
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
    Fail("the version resource cannot be loaded");
  }

  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    Fail("the version resource has no version numbers");
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (fixed->dwSignature != 0xFEEF04BD) {
    Fail("the version numbers are damaged");
  }

  VersionInfo info;
  info.major = HIWORD(fixed->dwFileVersionMS);
  info.minor = LOWORD(fixed->dwFileVersionMS);
  info.build = HIWORD(fixed->dwFileVersionLS);
  info.revision = LOWORD(fixed->dwFileVersionLS);
  const std::wstring table = StringTable(block);
  info.product_name = StringField(block, table, L"ProductName");
  info.product_version = StringField(block, table, L"ProductVersion");
  info.file_version = StringField(block, table, L"FileVersion");
  info.company_name = StringField(block, table, L"CompanyName");
  info.legal_copyright = StringField(block, table, L"LegalCopyright");
  info.file_description = StringField(block, table, L"FileDescription");
  return info;
}

}  // namespace plindor::ui

#endif  // _WIN32
