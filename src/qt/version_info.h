#pragma once

#include <QLocale>
#include <QString>

#include "desktop/version_info.h"

namespace plindor::qt {

// Reads the record embedded in the program. Throws std::runtime_error when it is missing or
// damaged, which only a broken build can cause.
desktop::VersionInfo ReadVersionInfo();

// The terms window's version line, each number in `locale`'s digit grouping.
QString VersionLine(const desktop::VersionInfo& info, const QLocale& locale = QLocale());

}  // namespace plindor::qt
