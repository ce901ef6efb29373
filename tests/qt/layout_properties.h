#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QStringList>
#include <QWidget>

namespace plindor::testing {

// What every window built from its layout file keeps, read from the window itself rather than
// from a copy of the file: each function names the controls that break it.

// Each control lies inside its parent; inside a frame, clear of its caption and border.
inline QStringList ControlsOutsideTheirParent(const QWidget& window) {
  QStringList outside;
  for (const QWidget* control : window.findChildren<QWidget*>()) {
    const QWidget* parent = control->parentWidget();
    if (control->isWindow() || parent == nullptr || control->objectName().startsWith("qt_")) {
      continue;
    }
    const QRect room =
        qobject_cast<const QGroupBox*>(parent) ? parent->contentsRect() : parent->rect();
    if (!room.contains(control->geometry())) {
      const QRect at = control->geometry();
      outside << QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                     .arg(control->objectName())
                     .arg(at.x())
                     .arg(at.y())
                     .arg(at.width())
                     .arg(at.height())
                     .arg(room.width())
                     .arg(room.height());
    }
  }
  return outside;
}

// Each label's, button's and frame's text fits its box in the font it is drawn in.
inline QStringList TextsThatDoNotFit(const QWidget& window) {
  QStringList cut;
  for (const QWidget* control : window.findChildren<QWidget*>()) {
    const QFontMetrics metrics(control->font());
    if (const auto* label = qobject_cast<const QLabel*>(control);
        label && !label->text().isEmpty()) {
      // What the label itself needs, rich text or not, wrapped at its width or on one line.
      const int height =
          label->wordWrap() ? label->heightForWidth(label->width()) : metrics.height();
      const int width = label->wordWrap() ? 0 : metrics.horizontalAdvance(label->text());
      if (height > label->height() || width > label->contentsRect().width()) {
        cut << QStringLiteral("%1 needs %2x%3").arg(label->objectName()).arg(width).arg(height);
      }
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
      // Room for the button's frame on either side.
      if (metrics.horizontalAdvance(button->text()) + 8 > button->width() ||
          metrics.height() + 4 > button->height()) {
        cut << button->objectName();
      }
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
      if (metrics.horizontalAdvance(frame->title()) + 16 > frame->width()) {
        cut << frame->objectName();
      }
    }
  }
  return cut;
}

// Tab stops in the order Tab visits them from the window.
inline QList<QWidget*> TabStops(QWidget& window) {
  QList<QWidget*> stops;
  QWidget* widget = &window;
  do {
    widget = widget->nextInFocusChain();
    if (widget != &window && (widget->focusPolicy() & Qt::TabFocus) != 0) stops.append(widget);
  } while (widget != &window);
  return stops;
}

// The controls that take the focus, in the layout file's order.
inline QList<QWidget*> TabStopsInLayoutOrder(const QWidget& window) {
  QList<QWidget*> stops;
  for (QWidget* control : window.findChildren<QWidget*>()) {
    if ((control->focusPolicy() & Qt::TabFocus) != 0 && !control->objectName().isEmpty() &&
        !control->objectName().startsWith("qt_")) {
      stops.append(control);
    }
  }
  return stops;
}

// The captions whose drawing shows none of the colour their palette gives their text.
inline QStringList CaptionsNotInTheirColour(const QWidget& window) {
  QStringList wrong;
  for (QWidget* control : window.findChildren<QWidget*>()) {
    const auto* label = qobject_cast<const QLabel*>(control);
    const auto* frame = qobject_cast<const QGroupBox*>(control);
    if ((label == nullptr || label->text().isEmpty()) && frame == nullptr) continue;
    const QColor colour =
        control->palette().color(label ? control->foregroundRole() : QPalette::WindowText);
    const QImage picture = control->grab().toImage();
    bool found = false;
    for (int y = 0; y < picture.height() && !found; ++y) {
      for (int x = 0; x < picture.width() && !found; ++x)
        found = picture.pixelColor(x, y) == colour;
    }
    if (!found) wrong << control->objectName();
  }
  return wrong;
}

}  // namespace plindor::testing
