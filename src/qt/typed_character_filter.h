#pragma once

#include <QObject>

namespace plindor::qt {

// Discards every key press that would type a character into the watched text box, Backspace and
// control characters included, so that the user cannot change its text from the keyboard. Keys
// that type nothing (Delete, cursor keys) pass, and so do Tab and Esc, which belong to the window.
class TypedCharacterFilter final : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(TypedCharacterFilter)

 public:
  explicit TypedCharacterFilter(QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace plindor::qt
