#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "repair/disk_file_system.h"
#include "repair/repairer.h"
#include "ui/file_dialog.h"
#include "ui/text_box_log.h"

namespace Ui {
class Form1;
}

namespace plindor::ui {

// The main window: explains the procedure, lets the user pick a project, repairs it and shows
// the progress log. Owns what the repair borrows: the file service and the log box.
class Form1 final : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);
  // Asks for projects through `dialog` instead of the toolkit's file-open dialog.
  explicit Form1(std::unique_ptr<FileDialog> dialog, QWidget* parent = nullptr);
  ~Form1() override;
  Q_DISABLE_COPY_MOVE(Form1)

 private:
  // One run: ask for a project, make its folder current, repair it, then write the closing
  // line. A cancelled dialog ends the run with nothing logged.
  void FindItAndFixIt();
  // Ends a run that failed: the reason, then the line that says the repair stopped.
  void LogStopped(const std::string& reason);

  std::unique_ptr<Ui::Form1> ui_;
  std::unique_ptr<FileDialog> dialog_;
  // The dialog's next starting point: the program's folder, then the last file chosen.
  QString file_name_;
  repair::DiskFileSystem file_sys_;
  TextBoxLog log_;
  repair::Repairer repairer_;
};

}  // namespace plindor::ui
