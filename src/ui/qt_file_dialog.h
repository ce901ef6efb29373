#pragma once

#include "ui/file_dialog.h"

namespace plindor::ui {

// The toolkit's own file-open dialog (not the desktop's), so it looks and behaves the same
// everywhere: it accepts only the name of an existing file, whatever the filter shows.
class QtFileDialog final : public FileDialog {
 public:
  std::optional<QString> GetExistingFile(QWidget* parent, const QString& file_name,
                                         const QString& filter) override;
};

}  // namespace plindor::ui
