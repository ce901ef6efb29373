#include "qt/qt_file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace plindor::qt {

std::optional<QString> QtFileDialog::GetExistingFile(QWidget* parent, const QString& file_name,
                                                     const QString& filter) {
  // Given a file as its directory, the dialog opens that file's folder with the file selected.
  QFileDialog dialog(parent, QString(), file_name, filter);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first();
}

}  // namespace plindor::qt
