#pragma once

#include <optional>
#include <string>

#include "desktop/project_chooser.h"
#include "win32/file_chooser.h"
#include "win32/table_window.h"

namespace plindor::win32 {

// A window's file-open dialog as the run's chooser: UTF-8 paths in and out, the window as the
// dialog's owner, the project filter offered.
class ProjectDialog final : public desktop::ProjectChooser {
 public:
  ProjectDialog(FileChooser& chooser, const TableWindow& owner)
      : chooser_(chooser), owner_(owner) {}

  std::optional<std::string> ChooseProject(const std::string& start) override;

 private:
  FileChooser& chooser_;
  const TableWindow& owner_;
};

}  // namespace plindor::win32
