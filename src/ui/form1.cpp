#include "ui/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QKeySequence>
#include <QPalette>
#include <QPoint>
#include <QShortcut>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "repair/repair_error.h"
#include "repair/run_outcome.h"
#include "ui/qt_file_dialog.h"
#include "ui_form1.h"

namespace plindor::ui {

namespace {

// Designer files hold whole point sizes only.
constexpr double kFontPointSize = 8.25;

// 1545 twips from the screen's corner.
constexpr QPoint kPosition{103, 103};

std::string ToEnginePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::unique_ptr<Ui::Form1> LoadLayout(QWidget* form) {
  auto layout = std::make_unique<Ui::Form1>();
  layout->setupUi(form);
  return layout;
}

}  // namespace

Form1::Form1(QWidget* parent) : Form1(std::make_unique<QtFileDialog>(), parent) {}

Form1::Form1(std::unique_ptr<FileDialog> dialog, QWidget* parent)
    // A window of its own even when another window creates it.
    : QWidget(parent, Qt::Window),
      ui_(LoadLayout(this)),
      dialog_(std::move(dialog)),
      log_(*ui_->Text1),
      repairer_(file_sys_, log_) {
  move(kPosition);
  QFont look = font();
  look.setPointSizeF(kFontPointSize);
  setFont(look);
  // The window, the frame and the label are filled with the system's window background, the
  // colour behind text boxes, rather than the toolkit's usual dialog grey.
  for (QWidget* fill : {static_cast<QWidget*>(this), static_cast<QWidget*>(ui_->Frame1),
                        static_cast<QWidget*>(ui_->Label1)}) {
    fill->setBackgroundRole(QPalette::Base);
  }
  // On a Base background a label draws with the Text role; its blue is set on WindowText.
  ui_->Label1->setForegroundRole(QPalette::WindowText);

  // Exit is the window's cancel button.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, ui_->Command2, &QPushButton::click);
  connect(ui_->Command2, &QPushButton::clicked, this, &QWidget::close);
  connect(ui_->Command1, &QPushButton::clicked, this, &Form1::FindItAndFixIt);
  ui_->Command2->setFocus();

  file_name_ = QCoreApplication::applicationDirPath();
  log_.Clear();
}

Form1::~Form1() = default;

void Form1::FindItAndFixIt() {
  const std::optional<QString> chosen =
      dialog_->GetExistingFile(this, file_name_, QStringLiteral("Projects (*.vbp)"));
  if (!chosen) return;
  file_name_ = *chosen;

  // Component paths in the project are relative to its folder; the dialog does not move there.
  const QString folder = QFileInfo(*chosen).absolutePath();
  if (!QDir::setCurrent(folder)) {
    LogStopped("cannot make \"" + ToEnginePath(QDir::toNativeSeparators(folder)) +
               "\" the current folder");
    return;
  }
  try {
    repairer_.FixProjectFile(ToEnginePath(*chosen));
  } catch (const repair::RepairError& error) {
    LogStopped(error.what());
    return;
  }
  log_.Append(std::string(repair::kFixupCompleted) + "\r\n");
}

void Form1::LogStopped(const std::string& reason) {
  log_.Append(std::string(repair::kErrorPrefix) + reason + "\r\n");
  log_.Append(std::string(repair::kFixupStopped) + "\r\n");
}

}  // namespace plindor::ui
