#pragma once

#include <QLocale>
#include <QString>

#include "ui/version_info.h"

namespace plindor::ui {

// "Product: <name>; Version <major>.<minor>.<revision>", each number in the locale's digit
// grouping. The build number is not shown.
QString VersionLine(const VersionInfo& info, const QLocale& locale = QLocale());

}  // namespace plindor::ui
