#pragma once

#include <functional>
#include <string>

namespace plindor::desktop {

// The program's version record as the windows show it, texts in UTF-8. Each front end reads it
// its own way: the Win32 program from its VERSIONINFO resource, the Qt program from a record
// embedded in it, both written from the same build fields.
struct VersionInfo {
  int major = 0;
  int minor = 0;
  int build = 0;
  int revision = 0;
  std::string product_name;
  std::string product_version;
  std::string file_version;
  std::string company_name;
  std::string legal_copyright;
  std::string file_description;
};

// Formats a whole number the user's way (digit grouping from 1000 up), in UTF-8.
using NumberFormat = std::function<std::string(int)>;

// "Product: <name>; Version <major>.<minor>.<revision>", each number formatted by `number`.
// The build number is not shown.
std::string VersionLine(const VersionInfo& info, const NumberFormat& number);

}  // namespace plindor::desktop
