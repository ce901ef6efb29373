#include "qt/project_dialog.h"

#include <QFile>
#include <QString>

#include "desktop/texts.h"
#include "qt/redraw_window.h"

namespace plindor::qt {

std::optional<std::string> ProjectDialog::ChooseProject(const std::string& start) {
  const std::optional<QString> chosen =
      dialog_.GetExistingFile(&window_, QFile::decodeName(QByteArray::fromStdString(start)),
                              QString::fromUtf8(desktop::kProjectFilterName));
  if (!chosen) return std::nullopt;
  // Nothing would redraw what the dialog covered until the run is over.
  RedrawWindow(window_);
  return QFile::encodeName(*chosen).toStdString();
}

}  // namespace plindor::qt
