#pragma once

#include <optional>
#include <string>

namespace plindor::desktop {

// Where a run asks the user for a project: the toolkit's file-open dialog, or a test's script.
// Paths are the engine's (UTF-8 on Windows, the file system's bytes elsewhere).
class ProjectChooser {
 public:
  virtual ~ProjectChooser() = default;
  // Asks for one existing project file, starting from `start` (a folder, or a file whose folder
  // opens with the file offered) and offering the project filter. Returns the file's full path,
  // or nothing when the user cancels. Throws std::runtime_error when it cannot ask.
  virtual std::optional<std::string> ChooseProject(const std::string& start) = 0;
};

}  // namespace plindor::desktop
