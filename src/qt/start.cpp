#include "qt/start.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <exception>
#include <utility>

#include "qt/fonts.h"

namespace plindor::qt {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/plindor/icons/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

Form2* ShowTermsWindow(MainWindowFactory make_main_window) {
  auto* terms = new Form2(std::move(make_main_window));
  terms->show();
  return terms;
}

int RunProgram(int& argc, char** argv, MainWindowFactory make_main_window) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("plindor"));
  QApplication::setWindowIcon(ProgramIcon());
  InstallFontSubstitutions();

  QPointer<QWidget> main_window;
  QPointer<Form2> terms;
  try {
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
