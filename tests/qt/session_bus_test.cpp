#include "qt/session_bus.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <string>

#include "temp_dir.h"

namespace plindor::qt {
namespace {

// Sets an environment variable, or removes it for a null value, and puts it back afterwards.
class ScopedVariable final {
 public:
  ScopedVariable(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value.isNull()) {
      qunsetenv(name);
    } else {
      qputenv(name, value);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

void MakeExecutable(const std::string& path) {
  QFile file(QString::fromStdString(path));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\nexit 1\n");
  file.close();
  QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace

class SessionBusTest final : public QObject {
  Q_OBJECT

 private slots:
  // Each row: what the environment offers, and the bus address the program ends up with
  // ("socket": the runtime folder's bus socket; empty: none set).
  void skipsOnlyALaunchThatCannotWork_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("socketExists");
    QTest::addColumn<bool>("launcherOnPath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no bus, no launcher") << QByteArray() << false << false << "socket";
    QTest::newRow("address given")
        << QByteArray("unix:path=/run/bus") << false << false << "unix:path=/run/bus";
    QTest::newRow("bus socket there") << QByteArray() << true << false << "";
    QTest::newRow("launcher on PATH") << QByteArray() << false << true << "";
  }
  void skipsOnlyALaunchThatCannotWork() {
    QFETCH(QByteArray, address);
    QFETCH(bool, socketExists);
    QFETCH(bool, launcherOnPath);
    QFETCH(QString, expected);
    if (QFileInfo(QStringLiteral("/usr/bin/dbus-launch")).isExecutable()) {
      QSKIP("dbus-launch is installed here, so no launch is hopeless");
    }
    const testing::TempDir runtime;
    const testing::TempDir bin;
    if (socketExists) MakeExecutable(runtime / "bus");
    if (launcherOnPath) MakeExecutable(bin / "dbus-launch");
    const ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", address);
    const ScopedVariable dir("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    const ScopedVariable path("PATH", QByteArray::fromStdString(bin.path()));

    SkipHopelessSessionBusLaunch();

    const QString socket = QStringLiteral("unix:path=") + QString::fromStdString(runtime / "bus");
    QCOMPARE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
             expected == QLatin1String("socket") ? socket : expected);
  }
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::SessionBusTest)
#include "session_bus_test.moc"
