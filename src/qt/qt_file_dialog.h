#pragma once

#include "qt/file_dialog.h"

namespace plindor::qt {

// The toolkit's own file-open dialog (not the desktop's), so it looks and behaves the same
// everywhere: it accepts only the name of an existing file, whatever the filter shows.
class QtFileDialog final : public FileDialog {
 public:
  std::optional<QString> GetExistingFile(QWidget* parent, const QString& file_name,
                                         const QString& filter) override;
};

}  // namespace plindor::qt
