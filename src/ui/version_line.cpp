#include "ui/version_line.h"

namespace plindor::ui {

QString VersionLine(const VersionInfo& info, const QLocale& locale) {
  return QStringLiteral("Product: ") + info.product_name + QStringLiteral("; Version ") +
         locale.toString(info.major) + QLatin1Char('.') + locale.toString(info.minor) +
         QLatin1Char('.') + locale.toString(info.revision);
}

}  // namespace plindor::ui
