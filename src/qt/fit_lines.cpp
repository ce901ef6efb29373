#include "qt/fit_lines.h"

#include <QLabel>
#include <QString>

namespace plindor::qt {

void FitLines(QLabel& label) {
  if (!label.wordWrap() || label.textFormat() == Qt::RichText) return;
  const int needed = label.heightForWidth(label.width());
  if (needed <= label.height()) return;
  const QString text = label.text();
  // The largest spacing that fits, in whole percent, found from the top down: heights do not
  // fall in proportion, since a line's height is rounded.
  for (int percent = 99; percent >= 80; --percent) {
    label.setTextFormat(Qt::RichText);
    label.setText(QStringLiteral("<div style=\"line-height:%1%\">%2</div>")
                      .arg(percent)
                      .arg(text.toHtmlEscaped()));
    if (label.heightForWidth(label.width()) <= label.height()) return;
  }
  // Nothing fits: the plain text, cut at the bottom as before.
  label.setTextFormat(Qt::PlainText);
  label.setText(text);
}

}  // namespace plindor::qt
