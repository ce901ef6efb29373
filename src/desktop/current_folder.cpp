#include "desktop/current_folder.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace plindor::desktop {

void MakeCurrentFolder(const std::string& folder) {
#ifdef _WIN32
  // The engine's paths are UTF-8 on Windows, not the code page a plain string would be read in.
  const std::filesystem::path path(std::u8string(folder.begin(), folder.end()));
#else
  const std::filesystem::path path(folder);
#endif
  std::error_code error;
  std::filesystem::current_path(path, error);
  if (error) {
    throw std::runtime_error("cannot make \"" + folder +
                             "\" the current folder: " + error.message());
  }
}

}  // namespace plindor::desktop
