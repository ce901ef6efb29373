#pragma once

#include <QWidget>
#include <memory>

#include "desktop/find_and_fix.h"
#include "desktop/project_chooser.h"
#include "qt/text_box_log.h"
#include "repair/disk_file_system.h"

namespace Ui {
class Form1;
}

namespace plindor::qt {

// The main window: explains the procedure, lets the user pick a project, repairs it and shows
// the progress log. Owns what the repair borrows: the file service and the log box.
class Form1 final : public QWidget {
  Q_OBJECT

 public:
  // Asks for projects through `chooser`, or where it is null through the toolkit's file-open
  // dialog.
  explicit Form1(QWidget* parent = nullptr,
                 std::unique_ptr<desktop::ProjectChooser> chooser = nullptr);
  ~Form1() override;
  Q_DISABLE_COPY_MOVE(Form1)

 private:
  std::unique_ptr<Ui::Form1> ui_;
  std::unique_ptr<desktop::ProjectChooser> chooser_;
  repair::DiskFileSystem file_system_;
  TextBoxLog log_;
  desktop::FindAndFix run_;
};

}  // namespace plindor::qt
