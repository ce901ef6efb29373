#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace plindor::cli {

// The command line and the engine speak UTF-8 on every system (on Linux: whatever bytes the
// names are). A std::filesystem::path made from a narrow string would take it in the ANSI code
// page on Windows, losing every name outside it.
inline std::filesystem::path PathFromUtf8(std::string_view text) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
  return std::filesystem::path(std::string(text));
#endif
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

// With forward slashes on every system.
inline std::string GenericUtf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
#else
  return path.generic_string();
#endif
}

}  // namespace plindor::cli
