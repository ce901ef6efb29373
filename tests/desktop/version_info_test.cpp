#include "desktop/version_info.h"

#include <gtest/gtest.h>

#include <string>

namespace plindor::desktop {
namespace {

TEST(VersionLineTest, ShowsMajorMinorAndRevisionButNotTheBuild) {
  VersionInfo info;
  info.product_name = "Plindor";
  info.major = 1;
  info.minor = 20;
  info.build = 7;
  info.revision = 3000;
  const auto bracketed = [](int n) { return "[" + std::to_string(n) + "]"; };
  EXPECT_EQ(VersionLine(info, bracketed), "Product: Plindor; Version [1].[20].[3000]");
}

}  // namespace
}  // namespace plindor::desktop
