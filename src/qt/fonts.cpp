#include "qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace plindor::qt {

QString LayoutFontFamily() {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arial")}) {
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  }
  return QStringLiteral("MS Sans Serif");
}

QFont LayoutFont(qreal points, bool bold) {
  QFont font(LayoutFontFamily());
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace plindor::qt
