#include "qt/session_bus.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

namespace plindor::qt {

void SkipHopelessSessionBusLaunch() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty()) return;
  const QString socket = QDir(runtime).filePath(QStringLiteral("bus"));
  if (QFileInfo::exists(socket)) return;
  // libdbus tries its own installation's dbus-launch first, then the one on PATH.
  if (QFileInfo(QStringLiteral("/usr/bin/dbus-launch")).isExecutable() ||
      !QStandardPaths::findExecutable(QStringLiteral("dbus-launch")).isEmpty()) {
    return;
  }
  qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray("unix:path=") + QFile::encodeName(socket));
}

}  // namespace plindor::qt
