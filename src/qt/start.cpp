#include "qt/start.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <cstdlib>
#include <exception>
#include <utility>

#include "qt/embedded_picture.h"
#include "qt/font_config_warm_up.h"
#include "qt/fonts.h"
#include "repair/code_page.h"

namespace plindor::qt {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    icon.addPixmap(QPixmap::fromImage(
        ReadEmbeddedPicture(QStringLiteral(":/plindor/icons/%1.picture").arg(size))));
  }
  return icon;
}

Form2* ShowTermsWindow(MainWindowFactory make_main_window) {
  auto* terms = new Form2(std::move(make_main_window));
  terms->show();
  return terms;
}

int RunProgram(int& argc, char** argv, MainWindowFactory make_main_window) {
  FontConfigWarmUp font_config;
  QApplication application(argc, argv);
  font_config.Wait();
  // Every control is born in the layout's font: none is laid out first in the toolkit's
  // default, whose name only fontconfig's fallback search resolves.
  QApplication::setFont(LayoutFont(8.25, false));
  // The desktop entry packaging/linux/example.plindor.Plindor.desktop, which names the icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.plindor.Plindor"));

  QPointer<QWidget> main_window;
  QPointer<Form2> terms;
  try {
    repair::SetNameCodePage(
        repair::CodePageFromSetting(std::getenv("PLINDOR_CODEPAGE"), "PLINDOR_CODEPAGE"));
    QApplication::setWindowIcon(ProgramIcon());
    terms = ShowTermsWindow([&main_window, make = std::move(make_main_window)] {
      main_window = make();
      return main_window.data();
    });
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString(), QString::fromLocal8Bit(error.what()));
    return 1;
  }
  const int status = QApplication::exec();
  // Still here only when the session ended the program while they were open.
  delete terms.data();
  delete main_window.data();
  return status;
}

}  // namespace plindor::qt
