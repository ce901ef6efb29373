// The small pieces the windows are built on: units, paths, texts and the version record.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "win32/module_path.h"
#include "win32/text_encoding.h"
#include "win32/twips.h"
#include "win32/version_resource.h"

namespace plindor::win32 {
namespace {

TEST(TwipsTest, ScaleWithTheDpiToTheNearestPixel) {
  EXPECT_EQ(TwipsToPixels(1800, 96), 120);
  EXPECT_EQ(TwipsToPixels(1800, 144), 180);
  EXPECT_EQ(TwipsToPixels(375, 120), 31);    // 31.25
  EXPECT_EQ(TwipsToPixels(2295, 120), 191);  // 191.25
  EXPECT_EQ(TwipsToPixels(1470, 168), 172);  // 171.5 rounds up
  EXPECT_EQ(PointsToPixels(8.25, 96), 11);
  EXPECT_EQ(PointsToPixels(9.75, 96), 13);
  EXPECT_EQ(PointsToPixels(8.25, 144), 17);  // 16.5 rounds up
  EXPECT_EQ(ScaledPixels(8, 144), 12);
  EXPECT_EQ(ScaledPixels(3, 120), 4);  // 3.75
  EXPECT_EQ(ScaledPixels(2, 168), 4);  // 3.5 rounds up
}

TEST(DecodeLogTextTest, ShowsUtf8AsSuchAndNeverDropsAByte) {
  EXPECT_EQ(DecodeLogText("Caf\xC3\xA9"), L"Caf\u00e9");
  // Whatever the code page, every byte becomes a character.
  EXPECT_EQ(DecodeLogText("\xFF\xFE\x80").size(), 3u);
  EXPECT_EQ(DecodeLogText("a\r\nb\nc"), L"a\r\nb\r\nc");
}

TEST(VersionResourceTest, ReadsThisProgramsRecord) {
  const desktop::VersionInfo info = ReadVersionInfo();
  EXPECT_EQ(info.product_name, "Plindor");
  EXPECT_EQ(info.major, 1);
  EXPECT_EQ(info.minor, 0);
  EXPECT_EQ(info.build, 0);
  EXPECT_EQ(info.revision, 1);
  EXPECT_EQ(info.file_version, "1.00.0001");
  EXPECT_EQ(info.company_name, "Plindor Works");
}

TEST(VersionResourceTest, AFileWithoutARecordIsReportedAsDamaged) {
  wchar_t windows[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_THROW(ReadVersionInfo(std::wstring(windows) + L"\\win.ini"), std::runtime_error);
}

TEST(FormatWholeNumberTest, GroupsDigitsTheUsersWay) {
  if (::GetUserDefaultLCID() != 0x0409) GTEST_SKIP() << "the test prefix's locale is not en-US";
  EXPECT_EQ(FormatWholeNumber(1), "1");
  EXPECT_EQ(FormatWholeNumber(999), "999");
  EXPECT_EQ(FormatWholeNumber(65535), "65,535");
  EXPECT_EQ(FormatWholeNumber(1234567), "1,234,567");
}

}  // namespace
}  // namespace plindor::win32
