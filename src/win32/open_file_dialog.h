#pragma once

#include <optional>
#include <string>

#include "desktop/project_chooser.h"
#include "win32/table_window.h"

namespace plindor::win32 {

// The system's file-open dialog, modal over `owner`, as the run's chooser: the shell's item
// dialog where the system has one (see AskWithItemDialog), else the common dialog. It offers the
// project filter and accepts only the name of an existing file, whatever the filter shows.
class OpenFileDialog final : public desktop::ProjectChooser {
 public:
  explicit OpenFileDialog(const TableWindow& owner) : owner_(owner) {}

  std::optional<std::string> ChooseProject(const std::string& start) override;

 private:
  const TableWindow& owner_;
};

}  // namespace plindor::win32
