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
#include "qt/caption.h"
#include "qt/embedded_picture.h"
#include "qt/fit_lines.h"
#include "qt/fonts.h"
#include "qt/typed_character_filter.h"
#include "qt/version_info.h"
#include "qt/window_border.h"
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
  // The window manager draws no frame, so that there is no title bar: the window draws its own.
  new WindowBorder(*this);
  // The X title and screen readers name the product, though no title bar shows it.
  setWindowTitle(QString::fromUtf8(desktop::kMainTitle));
  setAccessibleName(QString::fromUtf8(desktop::kTermsWindowName));
  ApplyLook();
  SetCaption(*ui_->Command1, QString::fromUtf8(desktop::kIAgree));
  SetCaption(*ui_->Command2, QString::fromUtf8(desktop::kIDisagree));
  SetCaption(*ui_->Label5, QString::fromUtf8(desktop::kNotice));
  // Screen readers announce the controls that show no caption by names of their own.
  ui_->Text1->setAccessibleName(QString::fromUtf8(desktop::kTermsName));
  ui_->Picture2->setAccessibleName(QString::fromUtf8(desktop::kPhotoName));
  ui_->Picture1->setAccessibleName(QString::fromUtf8(desktop::kLogoName));
  ui_->Text1->installEventFilter(new TypedCharacterFilter(ui_->Text1));
  connect(ui_->Command1, &QPushButton::clicked, this, &Form2::Agree);
  connect(ui_->Command2, &QPushButton::clicked, this, &Form2::reject);
  Load();
  FitLines(*ui_->Label5);
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

  ui_->Picture2->setPixmap(
      QPixmap::fromImage(ReadEmbeddedPicture(QStringLiteral(":/plindor/photo.picture"))));
  // At the logo's own size and left uncut, so that the box shows its top left part only; drawn
  // from its SVG when the program was built.
  ui_->Picture1->setPixmap(
      QPixmap::fromImage(ReadEmbeddedPicture(QStringLiteral(":/plindor/logo.picture"))));
}

void Form2::Load() {
  const desktop::VersionInfo version = ReadVersionInfo();
  SetCaption(*ui_->Label1, VersionLine(version));
  SetCaption(*ui_->Label2, QString::fromStdString(version.legal_copyright));
  SetCaption(*ui_->Label3, QString::fromUtf8(desktop::kCredit));
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
