#pragma once

#include <string>

#include "desktop/version_info.h"

namespace plindor::win32 {

// Reads the VERSIONINFO record of the program file `module` (the running program's own when
// empty): the fixed file version and the strings of its first language block. Throws
// std::runtime_error when the record is missing or lacks a field, which only a broken build
// can cause.
desktop::VersionInfo ReadVersionInfo(const std::wstring& module = {});

// A whole number the user's way (digit grouping, no decimals), in UTF-8.
std::string FormatWholeNumber(int number);

}  // namespace plindor::win32
