#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "repair/repair_error.h"

namespace plindor::cli {

// Makes `folder` the process's current directory while this object lives, so that a project's
// relative component paths resolve against the project's own folder as they do in the window.
class CurrentDirectory final {
 public:
  explicit CurrentDirectory(const std::filesystem::path& folder) {
    std::error_code error;
    saved_ = std::filesystem::current_path(error);
    if (!error) std::filesystem::current_path(folder, error);
    if (error) {
      throw repair::RepairError("cannot enter the folder \"" + folder.string() +
                                "\": " + error.message());
    }
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;
  ~CurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }

 private:
  std::filesystem::path saved_;
};

}  // namespace plindor::cli
