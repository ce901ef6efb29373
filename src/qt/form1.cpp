#include "qt/form1.h"

#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QKeySequence>
#include <QPalette>
#include <QPoint>
#include <QShortcut>
#include <memory>
#include <utility>

#include "desktop/texts.h"
#include "qt/caption.h"
#include "qt/fit_lines.h"
#include "qt/fonts.h"
#include "qt/qt_file_dialog.h"
#include "qt/window_role.h"
#include "ui_form1.h"

namespace plindor::qt {

namespace {

// 1545 twips from the screen's corner.
constexpr QPoint kPosition{103, 103};

std::unique_ptr<Ui::Form1> LoadLayout(QWidget* form) {
  auto layout = std::make_unique<Ui::Form1>();
  // Before the controls exist, so that each lays out its text once, in the right font.
  form->setFont(LayoutFont(8.25, false));
  layout->setupUi(form);
  return layout;
}

}  // namespace

Form1::Form1(QWidget* parent, std::unique_ptr<desktop::ProjectChooser> chooser)
    // A window of its own even when another window creates it.
    : QWidget(parent, Qt::Window),
      ui_(LoadLayout(this)),
      chooser_(chooser ? std::move(chooser) : std::make_unique<QtFileDialog>(*this)),
      log_(*ui_->Text1),
      // The first dialog starts in the program's folder.
      run_(*chooser_, file_system_, log_,
           QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString()) {
  move(kPosition);
  setWindowTitle(QString::fromUtf8(desktop::kMainTitle));
  AnnounceMainWindowAsWindow();
  setAccessibleName(QString::fromUtf8(desktop::kMainTitle));
  SetCaption(*ui_->Command1, QString::fromUtf8(desktop::kFindItAndFixIt));
  SetCaption(*ui_->Command2, QString::fromUtf8(desktop::kExit));
  SetCaption(*ui_->Frame1, QString::fromUtf8(desktop::kInstructionsCaption));
  SetCaption(*ui_->Label1, QString::fromUtf8(desktop::kInstructions));
  // Screen readers announce the log box by a name of its own; it shows no caption.
  ui_->Text1->setAccessibleName(QString::fromUtf8(desktop::kProgressLogName));
  // The window, the frame and the label are filled with the system's window background, the
  // colour behind text boxes, rather than the toolkit's usual dialog grey.
  for (QWidget* fill : {static_cast<QWidget*>(this), static_cast<QWidget*>(ui_->Frame1),
                        static_cast<QWidget*>(ui_->Label1)}) {
    fill->setBackgroundRole(QPalette::Base);
  }
  // On a Base background a label draws with the Text role; its blue is set on WindowText.
  ui_->Label1->setForegroundRole(QPalette::WindowText);
  // The toolkit draws a frame's top border below its caption rather than through it, on the
  // first row of the frame's contents, which is just below where the layout puts the label's top:
  // the label's fill would paint over all of the border but its two ends. The label moves down to
  // the row after the border, keeping its size unless that would cover the bottom border (in a
  // font with a taller caption than the layout's).
  const QRect inside = ui_->Frame1->contentsRect();
  QRect label = ui_->Label1->geometry();
  if (label.top() <= inside.top()) label.moveTop(inside.top() + 1);
  if (label.bottom() > inside.bottom()) label.setBottom(inside.bottom());
  ui_->Label1->setGeometry(label);
  FitLines(*ui_->Label1);

  // Return presses the focused button, as it does in the terms window, where the dialog does it.
  ui_->Command1->setAutoDefault(true);
  ui_->Command2->setAutoDefault(true);
  // Exit is the window's cancel button.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, ui_->Command2, &QPushButton::click);
  connect(ui_->Command2, &QPushButton::clicked, this, &QWidget::close);
  connect(ui_->Command1, &QPushButton::clicked, this, [this] { run_.Run(); });
  ui_->Command2->setFocus();

  log_.Clear();
}

Form1::~Form1() = default;

}  // namespace plindor::qt
