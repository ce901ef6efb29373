#include "win32/version_resource.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "win32/module_path.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {
namespace {

[[noreturn]] void Damaged(const std::string& what) {
  throw std::runtime_error("the program's version record is damaged (" + what +
                           "); rebuild the program");
}

std::string Text(const std::vector<BYTE>& record, const wchar_t* block, const char* key) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + WideFromUtf8(key);
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(record.data(), path.c_str(), &value, &length) || value == nullptr) {
    Damaged(std::string("no ") + key);
  }
  std::wstring_view text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return Utf8FromWide(text);
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buffer[16] = {};
  ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16);
  return buffer;
}

DWORD LocaleNumber(LCTYPE type) {
  DWORD value = 0;
  ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER,
                    reinterpret_cast<LPWSTR>(&value), sizeof value / sizeof(wchar_t));
  return value;
}

// The locale gives groups as "3;0" (threes, repeated) or "3;2;0"; the format wants 3 or 32,
// with a final 0 when the last group does not repeat.
UINT Grouping(const std::wstring& groups) {
  UINT grouping = 0;
  for (const wchar_t c : groups) {
    if (c >= L'0' && c <= L'9') grouping = grouping * 10 + static_cast<UINT>(c - L'0');
  }
  if (groups.size() >= 2 && groups.substr(groups.size() - 2) == L";0") return grouping / 10;
  return grouping * 10;
}

}  // namespace

desktop::VersionInfo ReadVersionInfo(const std::wstring& module) {
  const std::wstring file = module.empty() ? ProgramPath() : module;
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) Damaged("not found");
  std::vector<BYTE> record(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, record.data())) Damaged("unreadable");

  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(record.data(), L"\\", &value, &length) ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    Damaged("no version numbers");
  }
  const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
  if (!::VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
      length < 4) {
    Damaged("no language");
  }
  const auto* translation = static_cast<const WORD*>(value);
  wchar_t block[9];
  std::swprintf(block, 9, L"%04x%04x", translation[0], translation[1]);

  desktop::VersionInfo info;
  info.major = HIWORD(fixed.dwFileVersionMS);
  info.minor = LOWORD(fixed.dwFileVersionMS);
  info.build = HIWORD(fixed.dwFileVersionLS);
  info.revision = LOWORD(fixed.dwFileVersionLS);
  info.product_name = Text(record, block, "ProductName");
  info.product_version = Text(record, block, "ProductVersion");
  info.file_version = Text(record, block, "FileVersion");
  info.company_name = Text(record, block, "CompanyName");
  info.legal_copyright = Text(record, block, "LegalCopyright");
  info.file_description = Text(record, block, "FileDescription");
  return info;
}

std::string FormatWholeNumber(int number) {
  const std::wstring digits = std::to_wstring(number);
  std::wstring decimal = LocaleText(LOCALE_SDECIMAL);
  std::wstring thousand = LocaleText(LOCALE_STHOUSAND);
  NUMBERFMTW format{};
  format.NumDigits = 0;
  format.LeadingZero = LocaleNumber(LOCALE_ILZERO);
  format.Grouping = Grouping(LocaleText(LOCALE_SGROUPING));
  format.lpDecimalSep = decimal.data();
  format.lpThousandSep = thousand.data();
  format.NegativeOrder = LocaleNumber(LOCALE_INEGNUMBER);
  wchar_t out[64] = {};
  if (::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, out, 64) == 0) {
    return std::to_string(number);
  }
  return Utf8FromWide(out);
}

}  // namespace plindor::win32
