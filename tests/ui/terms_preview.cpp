#include <QLabel>

#include "ui/start.h"

int main(int argc, char** argv) {
  return plindor::ui::RunProgram(
      argc, argv, [] { return new QLabel(QStringLiteral("The main window opens here.")); });
}
