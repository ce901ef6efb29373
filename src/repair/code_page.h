#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plindor::repair {

// Windows-1252, the ANSI code page of Western European Windows.
inline constexpr unsigned kDefaultCodePage = 1252;

// Whether this system can decode the Windows code page `number` (932, 1250, ...).
bool IsKnownCodePage(unsigned number);

// The Windows code page `setting` names ("932"): kDefaultCodePage when it is null or empty.
// Throws std::invalid_argument for one this system can't decode, the message headed `what`
// (the setting's name) unless it is empty.
unsigned CodePageFromSetting(const char* setting, std::string_view what);

// The code page component names are read in when their bytes are not UTF-8: the ANSI code page
// of the Windows that saved the project, which wrote its names in it. kDefaultCodePage until
// set; set it at start-up, before any repair. Throws std::invalid_argument for an unknown one.
void SetNameCodePage(unsigned number);
unsigned NameCodePage();

// Whether `bytes` are well-formed UTF-8.
bool IsUtf8(std::string_view bytes);

// `bytes` as UTF-8, read in the Windows code page `number`; nothing when they are not text in
// it (or the code page is unknown).
std::optional<std::string> DecodeCodePage(std::string_view bytes, unsigned number);

}  // namespace plindor::repair
