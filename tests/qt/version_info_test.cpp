#include <QLocale>
#include <QTest>
#include <string>

#include <version/version_record.h>

#include "qt/version_info.h"

Q_DECLARE_METATYPE(plindor::desktop::VersionInfo)

namespace plindor::qt {
namespace {

using desktop::VersionInfo;

VersionInfo Record(int major, int minor, int build, int revision) {
  VersionInfo info;
  info.product_name = "Plindor";
  info.major = major;
  info.minor = minor;
  info.build = build;
  info.revision = revision;
  return info;
}

}  // namespace

class VersionInfoTest final : public QObject {
  Q_OBJECT

 private slots:
  // The embedded record and the compiled-in header come from the same CMake fields.
  void EmbeddedRecordMatchesTheBuild() {
    const VersionInfo info = ReadVersionInfo();
    QCOMPARE(info.major, version::kMajor);
    QCOMPARE(info.minor, version::kMinor);
    QCOMPARE(info.build, version::kBuild);
    QCOMPARE(info.revision, version::kRevision);
    QCOMPARE(info.product_name, std::string(version::kProductName));
    QCOMPARE(info.product_version, std::string(version::kProductVersion));
    QCOMPARE(info.file_version, std::string(version::kFileVersion));
    QCOMPARE(info.company_name, std::string(version::kCompanyName));
    QCOMPARE(info.legal_copyright, std::string(version::kLegalCopyright));
    QCOMPARE(info.file_description, std::string(version::kFileDescription));
  }

  void TheRecordIsTheProducts() {
    const VersionInfo info = ReadVersionInfo();
    QCOMPARE(VersionLine(info, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("Product: Plindor; Version 1.0.1"));
    QCOMPARE(info.file_version, std::string("1.00.0001"));
  }

  void VersionLineFormatsEachNumber_data() {
    QTest::addColumn<VersionInfo>("info");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("line");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("build number not shown")
        << Record(1, 0, 7, 1) << english << QStringLiteral("Product: Plindor; Version 1.0.1");
    QTest::newRow("no grouping below 1000")
        << Record(999, 10, 0, 999) << english
        << QStringLiteral("Product: Plindor; Version 999.10.999");
    QTest::newRow("grouped from 1000")
        << Record(1000, 65535, 0, 12345) << english
        << QStringLiteral("Product: Plindor; Version 1,000.65,535.12,345");
    QTest::newRow("grouped the German way")
        << Record(1000, 2, 0, 65535) << german
        << QStringLiteral("Product: Plindor; Version 1.000.2.65.535");
  }

  void VersionLineFormatsEachNumber() {
    QFETCH(VersionInfo, info);
    QFETCH(QLocale, locale);
    QFETCH(QString, line);
    QCOMPARE(VersionLine(info, locale), line);
  }

  void VersionLineUsesTheUsersLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString line = VersionLine(Record(4096, 0, 0, 1));
    QLocale::setDefault(saved);
    QCOMPARE(line, QStringLiteral("Product: Plindor; Version 4.096.0.1"));
  }
};

}  // namespace plindor::qt

QTEST_GUILESS_MAIN(plindor::qt::VersionInfoTest)
#include "version_info_test.moc"
