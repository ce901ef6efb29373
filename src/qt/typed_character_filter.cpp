#include "qt/typed_character_filter.h"

#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace plindor::qt {
namespace {

bool TypesCharacter(const QKeyEvent& key) {
  switch (key.key()) {
    // Some platforms attach a character (DEL, ESC, TAB) to these; they still type nothing.
    case Qt::Key_Delete:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return false;
    case Qt::Key_Backspace:
      return true;
    default:
      return !key.text().isEmpty();
  }
}

}  // namespace

TypedCharacterFilter::TypedCharacterFilter(QObject* parent) : QObject(parent) {}

bool TypedCharacterFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      return TypesCharacter(*static_cast<QKeyEvent*>(event));
    case QEvent::InputMethod:
      // Composed characters arrive without a key press.
      return !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty();
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace plindor::qt
