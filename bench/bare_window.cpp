// The yardstick for bench/start-time: a Qt Widgets window of the terms window's size with
// nothing in it, started the same way.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window;
  window.resize(421, 387);
  window.show();
  return QApplication::exec();
}
