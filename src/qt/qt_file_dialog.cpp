#include "qt/qt_file_dialog.h"

#include <QByteArray>
#include <QFile>
#include <QFileDialog>
#include <QString>
#include <QStringList>

#include "desktop/texts.h"
#include "qt/redraw_window.h"

namespace plindor::qt {

std::optional<std::string> QtFileDialog::ChooseProject(const std::string& start) {
  // Given a file as its directory, the dialog opens that file's folder with the file selected.
  QFileDialog dialog(&window_, QString(), QFile::decodeName(QByteArray::fromStdString(start)),
                     QString::fromUtf8(desktop::kProjectFilterName));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  // Nothing would redraw what the dialog covered until the run is over.
  RedrawWindow(window_);
  return QFile::encodeName(chosen.first()).toStdString();
}

}  // namespace plindor::qt
