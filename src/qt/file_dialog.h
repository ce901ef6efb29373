#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace plindor::qt {

// Asks the user for one existing file. The windows go through this seam so that tests can
// answer in place of a user without a modal dialog blocking them.
class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // Shows a modal file-open dialog over `parent` that starts from `file_name` (a folder, or a
  // file whose folder opens with the file selected) and offers `filter` (as "Name (*.ext)").
  // Returns the chosen file's full path, or nothing when the user cancels.
  virtual std::optional<QString> GetExistingFile(QWidget* parent, const QString& file_name,
                                                 const QString& filter) = 0;
};

}  // namespace plindor::qt
