#include "win32/text_encoding.h"

#include <windows.h>

#include <climits>
#include <optional>

namespace plindor::win32 {
namespace {

std::optional<std::wstring> Decode(UINT code_page, DWORD flags, std::string_view text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(code_page, flags, text.data(), length, wide.data(), size);
  return wide;
}

std::wstring Latin1(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (const char byte : text)
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
  return wide;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  std::optional<std::wstring> wide = Decode(CP_UTF8, 0, text);
  return wide ? *wide : Latin1(text);
}

std::wstring DecodeLogText(std::string_view text) {
  std::optional<std::wstring> decoded = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (!decoded) decoded = Decode(CP_ACP, MB_ERR_INVALID_CHARS, text);
  std::wstring wide = decoded ? std::move(*decoded) : Latin1(text);
  std::wstring lines;
  lines.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) lines.push_back(L'\r');
    lines.push_back(wide[i]);
  }
  return lines;
}

}  // namespace plindor::win32
