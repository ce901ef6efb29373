#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QTextDocumentFragment>
#include <QWidget>

namespace plindor::testing {

// The controls of a window that a screen reader could not announce properly: each control
// (every named child widget but the toolkit's own parts) must have an accessible name, and one
// that shows a caption must be announced by that caption. Returns one line per fault.
inline QStringList ControlsWithoutProperNames(QWidget& window) {
  QStringList faults;
  for (QWidget* control : window.findChildren<QWidget*>()) {
    const QString id = control->objectName();
    if (id.isEmpty() || id.startsWith(QLatin1String("qt_"))) continue;
    QAccessibleInterface* const accessible = QAccessible::queryAccessibleInterface(control);
    const QString name = accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(control)) caption = frame->title();
    if (auto* label = qobject_cast<QLabel*>(control)) {
      caption = label->textFormat() == Qt::RichText
                    ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                    : label->text();
    }
    if (name.isEmpty()) {
      faults << id + QStringLiteral(": no name");
    } else if (!caption.isEmpty() && name != caption) {
      faults << id + QStringLiteral(": announced as \"%1\", shows \"%2\"").arg(name, caption);
    }
  }
  return faults;
}

}  // namespace plindor::testing
