#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "desktop/project_chooser.h"

namespace plindor::qt {

// The toolkit's own file-open dialog (not the desktop's), modal over `window`, as the run's
// chooser, so it looks and behaves the same everywhere: it offers the project filter and accepts
// only the name of an existing file, whatever the filter shows. Once it closes, the window is
// drawn whole, since the run that follows keeps the event loop waiting.
class QtFileDialog final : public desktop::ProjectChooser {
 public:
  explicit QtFileDialog(QWidget& window) : window_(window) {}

  std::optional<std::string> ChooseProject(const std::string& start) override;

 private:
  QWidget& window_;
};

}  // namespace plindor::qt
