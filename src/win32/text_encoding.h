#pragma once

#include <string>
#include <string_view>

#include "repair/wide_text.h"

namespace plindor::win32 {

// UTF-8 and the UTF-16 of the Win32 API. Invalid input is replaced, never dropped silently.
std::wstring WideFromUtf8(std::string_view text);
using repair::Utf8FromWide;

// The engine's texts are bytes: paths from the dialog (UTF-8) and paths copied out of project
// files, which often come from a Windows code page. Valid UTF-8 is shown as such, anything else
// in the ANSI code page, and bytes that code page has no character for one for one as Latin-1,
// so no byte is lost or replaced by a placeholder. A lone LF becomes CR LF, the edit box's line
// end.
std::wstring DecodeLogText(std::string_view text);

}  // namespace plindor::win32
