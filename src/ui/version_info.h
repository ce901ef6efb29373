#pragma once

#include <QString>

namespace plindor::ui {

// The program's version record as the windows show it. On Windows it is the VERSIONINFO resource
// of the running program; elsewhere the same fields are embedded in the program as a resource.
struct VersionInfo {
  int major = 0;
  int minor = 0;
  int build = 0;
  int revision = 0;
  QString product_name;
  QString product_version;
  QString file_version;
  QString company_name;
  QString legal_copyright;
  QString file_description;
};

// Reads the record of the running program. Throws std::runtime_error when it is missing or
// damaged, which only a broken build can cause.
VersionInfo ReadVersionInfo();

}  // namespace plindor::ui
