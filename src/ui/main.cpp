#include <QApplication>

#include "ui/fonts.h"
#include "ui/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  plindor::ui::InstallFontSubstitutions();
  plindor::ui::Form1 form;
  form.show();
  return QApplication::exec();
}
