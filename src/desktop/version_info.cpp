#include "desktop/version_info.h"

namespace plindor::desktop {

std::string VersionLine(const VersionInfo& info, const NumberFormat& number) {
  return "Product: " + info.product_name + "; Version " + number(info.major) + "." +
         number(info.minor) + "." + number(info.revision);
}

}  // namespace plindor::desktop
