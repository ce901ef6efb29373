#include "qt/caption.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace plindor::qt {

void SetCaption(QAbstractButton& button, const QString& caption) {
  button.setText(caption);
  button.setAccessibleName(caption);
}

void SetCaption(QGroupBox& frame, const QString& caption) {
  frame.setTitle(caption);
  frame.setAccessibleName(caption);
}

void SetCaption(QLabel& label, const QString& caption) {
  label.setText(caption);
  label.setAccessibleName(caption);
}

}  // namespace plindor::qt
