#pragma once

#include <string>
#include <string_view>

namespace plindor::repair {

// The UTF-16 of the Win32 API as the UTF-8 the engine speaks; unpaired surrogates become
// U+FFFD. Windows only.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace plindor::repair
