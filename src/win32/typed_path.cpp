#include "win32/typed_path.h"

#include <pathcch.h>
#include <windows.h>

#include <cwctype>
#include <memory>
#include <string_view>

namespace plindor::win32 {
namespace {

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() &&
         ::CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The drive or the server's share `folder` is on, without a separator after it.
std::wstring RootOf(const std::wstring& folder) {
  PCWSTR end = nullptr;
  if (folder.empty() || FAILED(::PathCchSkipRoot(folder.c_str(), &end))) return {};
  std::wstring root = folder.substr(0, static_cast<std::size_t>(end - folder.c_str()));
  while (!root.empty() && IsSeparator(root.back())) root.pop_back();
  return root;
}

std::wstring FullPath(const std::wstring& path) {
  std::wstring full(path.size() + 1, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

// A path into the devices' namespace, where even a lookup can have effects. The system's full
// path of a device name in any folder (CON, nul.vbp, COM1) is one of these.
bool IsDevicePath(std::wstring_view full) {
  if (StartsWithIgnoringCase(full, L"\\\\.\\")) return true;
  if (!StartsWithIgnoringCase(full, L"\\\\?\\")) return false;
  // Under \\?\ only drives, shares and volumes hold files; GLOBALROOT and the rest are devices.
  const std::wstring_view rest = full.substr(4);
  return !(rest.size() >= 2 && rest[1] == L':') && !StartsWithIgnoringCase(rest, L"UNC\\") &&
         !StartsWithIgnoringCase(rest, L"Volume{");
}

// The system's words for `error`, on one line.
std::wstring SystemReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(text, &::LocalFree);
  std::wstring reason = length != 0 ? std::wstring(text, length)
                                    : L"The system gives error " + std::to_wstring(error) + L".";
  while (!reason.empty() && std::iswspace(reason.back())) reason.pop_back();
  return reason;
}

// Whether a path the system can't look up would be found with its long-path setting on: stock
// Windows has it off, and then looks up a path of MAX_PATH characters or more only in \\?\ form.
bool FoundBeyondTheLimit(const std::wstring& full) {
  if (full.size() < MAX_PATH || full.starts_with(L"\\\\?\\")) return false;
  std::wstring extended;
  if (full.size() >= 3 && full[1] == L':' && IsSeparator(full[2])) {
    extended = L"\\\\?\\" + full;
  } else if (full.starts_with(L"\\\\")) {
    extended = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    return false;
  }
  return ::GetFileAttributesW(extended.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HasExtension(std::wstring_view path) {
  const std::size_t name = path.find_last_of(L"\\/");
  return path.find(L'.', name == std::wstring_view::npos ? 0 : name + 1) != std::wstring_view::npos;
}

}  // namespace

std::wstring JoinedPath(const std::wstring& folder, std::wstring name) {
  if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') {
    name = name.substr(1, name.size() - 2);
  }
  if (name.size() >= 2 && name[1] == L':') return name;
  if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) return name;
  if (!name.empty() && IsSeparator(name[0])) return RootOf(folder) + name;
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + L'\\' + name;
}

bool EndsInTypedName(std::wstring_view chosen, std::wstring_view typed) {
  const auto name = [](std::wstring_view path) {
    return path.substr(path.find_last_of(L"\\/") + 1);  // npos + 1 is 0
  };
  chosen = name(chosen);
  typed = name(typed);
  return StartsWithIgnoringCase(chosen, typed) &&
         (chosen.size() == typed.size() || chosen[typed.size()] == L'.');
}

PathCheck CheckAnswer(const std::wstring& path, std::wstring_view default_extension) {
  // No path in the messages: one this long has no place to wrap and would run off the screen.
  const std::wstring full = FullPath(path);
  if (IsDevicePath(full)) {
    return {.refusal = L"This path names a device, not a file.\nType the name of a project file."};
  }
  const DWORD attributes = ::GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (FoundBeyondTheLimit(full)) {
      return {.refusal =
                  L"This path has 260 characters or more, which Windows opens only with its "
                  L"long-path setting on.\nSee README.txt, or move the project to a shorter path."};
    }
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_INVALID_NAME) {
      return {.refusal = SystemReason(error)};
    }
    if (!default_extension.empty() && !HasExtension(full)) {
      return CheckAnswer(full + L'.' + std::wstring(default_extension), {});
    }
    return {.refusal = L"No file exists at this path.\nCheck the name and try again."};
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {.refusal = L"This path names a folder.\nType the name of a file in it."};
  }
  return {.file = full};
}

}  // namespace plindor::win32
