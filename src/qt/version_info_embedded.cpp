#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <stdexcept>
#include <string>

#include "qt/version_info.h"

namespace plindor::qt {
namespace {

// Written at configure time from the project version and cmake/PlindorVersion.cmake.
constexpr char kRecordPath[] = ":/plindor/version.json";

[[noreturn]] void Damaged(const std::string& what) {
  throw std::runtime_error(std::string("the program's version record is damaged (") + what +
                           "); rebuild the program");
}

int Number(const QJsonObject& record, const char* key) {
  const QJsonValue value = record.value(QLatin1String(key));
  // Version numbers are 16-bit words, as in the Windows resource.
  const int number = value.toInt(-1);
  if (!value.isDouble() || number < 0 || number > 0xFFFF) {
    Damaged(std::string("bad ") + key);
  }
  return number;
}

std::string Text(const QJsonObject& record, const char* key) {
  const QJsonValue value = record.value(QLatin1String(key));
  if (!value.isString()) {
    Damaged(std::string("no ") + key);
  }
  return value.toString().toStdString();
}

}  // namespace

desktop::VersionInfo ReadVersionInfo() {
  QFile file(QString::fromLatin1(kRecordPath));
  if (!file.open(QIODevice::ReadOnly)) {
    Damaged("not embedded");
  }
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    Damaged(error.errorString().toStdString());
  }
  const QJsonObject record = document.object();
  desktop::VersionInfo info;
  info.major = Number(record, "Major");
  info.minor = Number(record, "Minor");
  info.build = Number(record, "Build");
  info.revision = Number(record, "Revision");
  info.product_name = Text(record, "ProductName");
  info.product_version = Text(record, "ProductVersion");
  info.file_version = Text(record, "FileVersion");
  info.company_name = Text(record, "CompanyName");
  info.legal_copyright = Text(record, "LegalCopyright");
  info.file_description = Text(record, "FileDescription");
  return info;
}

QString VersionLine(const desktop::VersionInfo& info, const QLocale& locale) {
  return QString::fromStdString(desktop::VersionLine(
      info, [&locale](int number) { return locale.toString(number).toStdString(); }));
}

}  // namespace plindor::qt
