#pragma once

#include <QWidget>

namespace plindor::qt {

// A thin fixed frame for a window the window manager draws no frame around: a one-pixel line
// along the window's edges, drawn over its controls, that lets every click through. It follows
// the window's size.
class WindowBorder final : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(WindowBorder)

 public:
  explicit WindowBorder(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace plindor::qt
