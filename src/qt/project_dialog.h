#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "desktop/project_chooser.h"
#include "qt/file_dialog.h"

namespace plindor::qt {

// A window's file-open dialog as the run's chooser: engine paths in and out, and the window
// drawn whole once the dialog closes, since the run that follows keeps the event loop waiting.
class ProjectDialog final : public desktop::ProjectChooser {
 public:
  ProjectDialog(FileDialog& dialog, QWidget& window) : dialog_(dialog), window_(window) {}

  std::optional<std::string> ChooseProject(const std::string& start) override;

 private:
  FileDialog& dialog_;
  QWidget& window_;
};

}  // namespace plindor::qt
