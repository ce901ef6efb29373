#include "qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace plindor::qt {

namespace {

QString InstalledLayoutFontFamily() {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arial")}) {
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  }
  return QStringLiteral("MS Sans Serif");
}

}  // namespace

QString LayoutFontFamily() {
  // The toolkit reads the installed fonts once, so the answer never changes.
  static const QString family = InstalledLayoutFontFamily();
  return family;
}

QFont LayoutFont(qreal points, bool bold) {
  QFont font(LayoutFontFamily());
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace plindor::qt
