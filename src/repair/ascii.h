#pragma once

#include <algorithm>
#include <string_view>

namespace plindor::repair {

// The one case folding the product knows: the 26 ASCII letters to lower case, every other
// byte (non-ASCII included) left alone, whatever the locale.
constexpr char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, {}, FoldAscii, FoldAscii);
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace plindor::repair
