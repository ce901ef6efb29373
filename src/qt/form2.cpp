#include "qt/form2.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include <exception>
#include <utility>

#include "desktop/texts.h"
#include "qt/fonts.h"
#include "qt/png_image.h"
#include "qt/typed_character_filter.h"
#include "qt/version_info.h"
#include "ui_form2.h"

namespace plindor::qt {
namespace {

// The window's place on the screen, as the layout gives it.
constexpr QPoint kPosition(98, 113);

}  // namespace

Form2::Form2(MainWindowFactory make_main_window, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      ui_(std::make_unique<::Ui::Form2>()),
      make_main_window_(std::move(make_main_window)) {
  // Before the controls exist, so that each lays out its text once, in the right font.
  setFont(LayoutFont(8.25, false));
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(size());
  move(kPosition);
  ApplyLook();
  // Screen readers announce each control by its caption, or by a name of its own where it shows
  // none.
  const QString agree = QString::fromUtf8(desktop::kIAgree);
  ui_->Command1->setText(agree);
  ui_->Command1->setAccessibleName(agree);
  const QString disagree = QString::fromUtf8(desktop::kIDisagree);
  ui_->Command2->setText(disagree);
  ui_->Command2->setAccessibleName(disagree);
  const QString notice = QString::fromUtf8(desktop::kNotice);
  ui_->Label5->setText(notice);
  ui_->Label5->setAccessibleName(notice);
  ui_->Text1->setAccessibleName(QString::fromUtf8(desktop::kTermsName));
  ui_->Picture2->setAccessibleName(QString::fromUtf8(desktop::kPhotoName));
  ui_->Picture1->setAccessibleName(QString::fromUtf8(desktop::kLogoName));
  ui_->Text1->installEventFilter(new TypedCharacterFilter(ui_->Text1));
  connect(ui_->Command1, &QPushButton::clicked, this, &Form2::Agree);
  connect(ui_->Command2, &QPushButton::clicked, this, &Form2::reject);
  Load();
  ui_->Command2->setFocus();
}

Form2::~Form2() = default;

// Fonts are set here because Designer stores whole point sizes only.
void Form2::ApplyLook() {
  ui_->Command1->setFont(LayoutFont(8.25, true));
  ui_->Command2->setFont(LayoutFont(8.25, true));
  ui_->Label5->setFont(LayoutFont(9.75, true));
  ui_->Text1->setFont(LayoutFont(9.75, false));

  QPalette window = palette();
  window.setColor(QPalette::Window, window.color(QPalette::HighlightedText));
  setPalette(window);
  QPalette notice = ui_->Label5->palette();
  notice.setColor(QPalette::WindowText, QColor(255, 0, 0));
  ui_->Label5->setPalette(notice);

  ui_->Picture2->setPixmap(QPixmap::fromImage(ReadPng(QStringLiteral(":/plindor/photo.png"))));
  // At the logo's own size and left uncut, so that the box shows its top left part only; drawn
  // from its SVG when the program was built.
  ui_->Picture1->setPixmap(QPixmap::fromImage(ReadPng(QStringLiteral(":/plindor/logo.png"))));
}

void Form2::Load() {
  const desktop::VersionInfo version = ReadVersionInfo();
  const QString version_line = VersionLine(version);
  ui_->Label1->setText(version_line);
  ui_->Label1->setAccessibleName(version_line);
  const QString copyright = QString::fromStdString(version.legal_copyright);
  ui_->Label2->setText(copyright);
  ui_->Label2->setAccessibleName(copyright);
  const QString credit = QString::fromUtf8(desktop::kCredit);
  ui_->Label3->setText(credit);
  ui_->Label3->setAccessibleName(credit);
  ui_->Text1->setPlainText(QString::fromUtf8(desktop::kDisclaimer));
}

void Form2::Agree() {
  QWidget* main_window = nullptr;
  try {
    main_window = make_main_window_();
  } catch (const std::exception& error) {
    // Nothing else can report it, and the program must not go on half started.
    QMessageBox::critical(this, QString(), QString::fromLocal8Bit(error.what()));
    reject();
    return;
  }
  // Shown before this window goes, so the application never finds itself without a window.
  main_window->show();
  QCoreApplication::processEvents();
  accept();
}

}  // namespace plindor::qt
