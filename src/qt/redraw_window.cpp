#include "qt/redraw_window.h"

#include <QBackingStore>
#include <QRegion>
#include <QWidget>

namespace plindor::qt {

void RedrawWindow(QWidget& window) {
  window.repaint();
  QBackingStore* const store = window.backingStore();
  if (store == nullptr || window.windowHandle() == nullptr) return;
  store->flush(QRegion(window.rect()), window.windowHandle());
}

}  // namespace plindor::qt
