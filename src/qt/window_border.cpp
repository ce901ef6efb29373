#include "qt/window_border.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>

namespace plindor::qt {

WindowBorder::WindowBorder(QWidget& window) : QWidget(&window) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(window.rect());
  raise();
  window.installEventFilter(this);
}

bool WindowBorder::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent()) {
    if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    // A control created later would otherwise lie on top.
    if (event->type() == QEvent::ChildAdded) raise();
  }
  return QWidget::eventFilter(watched, event);
}

void WindowBorder::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Shadow));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace plindor::qt
