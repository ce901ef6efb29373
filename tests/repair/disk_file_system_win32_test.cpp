#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "disk_file_system_fixture.h"
#include "expect_repair_error.h"
#include "memory_file_system.h"
#include "repair/backup_record.h"
#include "repair/disk_file_system.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "temp_dir.h"

namespace plindor::repair {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The UTF-8 text of a path, as the engine takes it.
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::filesystem::path FromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

class Win32DiskFileSystemTest : public ::testing::Test {
 protected:
  std::string ReadThrough(const std::string& path) {
    return files_.OpenForRepair("", path)->Read();
  }

  void RewriteThrough(const std::string& path, std::string_view text) {
    const auto file = files_.OpenForRepair("", path);
    file->Read();
    testing::Rewrite(files_, *file, text);
  }

  TempDir dir_;
  DiskFileSystem files_;
};

struct RewriteCase {
  std::string name;
  std::string before;
  std::string after;
};

std::ostream& operator<<(std::ostream& out, const RewriteCase& c) { return out << c.name; }

class Win32RewriteTest : public Win32DiskFileSystemTest,
                         public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(Win32RewriteTest, ReadsAndRewritesEveryByteUnchanged) {
  const auto& [name, before, after] = GetParam();
  const std::string path = dir_ / "Main.frm";
  WriteFile(path, before);

  EXPECT_EQ(ReadThrough(path), before);
  RewriteThrough(path, after);
  EXPECT_EQ(ReadFile(path), after);
  EXPECT_FALSE(std::filesystem::exists(path + ".plindor-backup"));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, Win32RewriteTest,
    // Past the size of one read, in both directions.
    ::testing::Values(RewriteCase{"GrowsPastReadChunk", "short", std::string(300000, 'x')},
                      RewriteCase{"ShrinksToEmpty", std::string(300000, 'y'), ""}),
    [](const auto& row) { return row.param.name; });

struct PathCase {
  std::string name;
  std::string on_disk;  // UTF-8, relative to the test folder, '/' separated
  std::string given;    // UTF-8, relative to the test folder, as a project would name it
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) { return out << c.name; }

class Win32PathTest : public Win32DiskFileSystemTest,
                      public ::testing::WithParamInterface<PathCase> {};

TEST_P(Win32PathTest, FindsTheFileWindowsWouldFind) {
  const auto& [name, on_disk, given] = GetParam();
  const std::filesystem::path file = dir_.path() / FromUtf8(on_disk);
  WriteFile(file, "old\r\n");
  {
    const auto repair = files_.OpenForRepair(Utf8(dir_.path()), given);
    EXPECT_EQ(repair->Read(), "old\r\n");
    testing::Rewrite(files_, *repair, "new\r\n");
  }
  EXPECT_EQ(ReadFile(file), "new\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Names, Win32PathTest,
    ::testing::Values(PathCase{"Backslashes", "Forms/Sub/Main.frm", "Forms\\Sub\\Main.frm"},
                      PathCase{"ForwardSlashes", "Forms/Main.frm", "Forms/Main.frm"},
                      PathCase{"LetterCaseIgnored", "Forms/Main.frm", "FORMS\\main.FRM"},
                      PathCase{"NonAsciiUtf8", "Fenêtres/Größe €.frm", "Fenêtres\\Größe €.frm"},
                      PathCase{"OutsideTheBasicPlane", "\xF0\x9F\x93\x81/a.frm",
                               "\xF0\x9F\x93\x81\\a.frm"},
                      PathCase{"DotDot", "Forms/Main.frm", "Other\\..\\Forms\\Main.frm"}),
    [](const auto& row) { return row.param.name; });

// Projects saved by older systems name their files in the ANSI code page, not UTF-8.
TEST_F(Win32DiskFileSystemTest, PathInTheAnsiCodePageIsFound) {
  const std::wstring name = L"Gr\u00f6\u00dfe.frm";
  char ansi[64] = {};
  BOOL lossy = FALSE;
  const int size =
      ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
  if (size <= 0 || lossy) GTEST_SKIP() << "the ANSI code page can't spell " << Utf8(name);
  WriteFile(dir_.path() / name, "old\r\n");
  const std::string path = Utf8(dir_.path()) + "\\" + ansi;
  ASSERT_NE(path, Utf8(dir_.path() / name)) << "the ANSI code page is UTF-8 here";

  RewriteThrough(path, "new\r\n");
  EXPECT_EQ(ReadFile(dir_.path() / name), "new\r\n");
}

TEST_F(Win32DiskFileSystemTest, RepairsAProjectWithBackslashEntries) {
  const std::string old_object =
      R"(Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX")";
  const std::string new_object =
      R"(Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX")";
  WriteFile(dir_.path() / "Big.vbp", "Type=Exe\r\nForm=Forms\\Main.frm\r\nUserControl=Box.ctl\r\n");
  WriteFile(dir_.path() / "Forms" / "Main.frm", "VERSION 5.00\r\n" + old_object + "\r\n");
  WriteFile(dir_.path() / "Box.ctl", old_object + "\r\n");
  testing::StringLog log;

  Repairer(files_, log, Utf8(dir_.path())).FixProjectFile(dir_ / "Big.vbp");

  EXPECT_EQ(log.text, "Fixing " + (dir_ / "Big.vbp") +
                          "\r\n   fixing Forms\\Main.frm\r\n   fixing Box.ctl\r\n");
  EXPECT_EQ(ReadFile(dir_.path() / "Forms" / "Main.frm"), "VERSION 5.00\r\n" + new_object + "\r\n");
  EXPECT_EQ(ReadFile(dir_.path() / "Box.ctl"), new_object + "\r\n");
}

TEST_F(Win32DiskFileSystemTest, ReadOnlyFileIsRefusedAndStaysIntact) {
  const std::string path = dir_ / "Main.frm";
  WriteFile(path, "kept\r\n");
  const std::wstring wide = std::filesystem::path(path).wstring();
  ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));

  const std::string message = testing::RepairErrorOf([&] { files_.OpenForRepair("", path); });
  ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(message, "cannot write \"" + path + "\": it is read-only");
  EXPECT_EQ(ReadFile(path), "kept\r\n");
}

// Another run waits its turn while the file is held; no other program may write it meanwhile,
// nor read it halfway through its rewrite.
TEST_F(Win32DiskFileSystemTest, AFileHeldForRepairIsNeitherReadNorWrittenByOthers) {
  const std::string path = dir_ / "Main.frm";
  const std::wstring wide = std::filesystem::path(path).wstring();
  WriteFile(path, "old\r\n");
  auto held = files_.OpenForRepair("", path);
  for (const DWORD access : {DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ}}) {
    const HANDLE other =
        ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE) << access;
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_SHARING_VIOLATION}) << access;
    if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
  }

  std::thread second_run([&] {
    DiskFileSystem other;
    const auto file = other.OpenForRepair("", path);
    EXPECT_EQ(file->Read(), "new\r\n");
  });
  held->Read();
  testing::Rewrite(files_, *held, "new\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  held.reset();
  second_run.join();
}

// A backup others may change could put their bytes into the form: it is refused, untouched.
TEST_F(Win32DiskFileSystemTest, BackupOthersMayChangeIsRefused) {
  const std::string form = Utf8(dir_.path() / "Main.frm");
  WriteFile(form, "old\r\n");
  const std::string bytes = BackupFor(dir_.path() / "Main.frm", "old\r\n", "new\r\n");
  WriteFile(form + ".plindor-backup", bytes);
  PSECURITY_DESCRIPTOR everyone = nullptr;
  PACL anyone_may_write = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr));
  ASSERT_TRUE(::GetSecurityDescriptorDacl(everyone, &present, &anyone_may_write, &defaulted));
  std::wstring backup = (dir_.path() / "Main.frm.plindor-backup").wstring();
  EXPECT_EQ(::SetNamedSecurityInfoW(backup.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, anyone_may_write, nullptr),
            DWORD{ERROR_SUCCESS});
  ::LocalFree(everyone);
  EXPECT_REPAIR_ERROR(files_.OpenForRepair("", form),
                      "cannot repair \"" + form +
                          "\": its backup \"Main.frm.plindor-backup\" may be changed by other "
                          "users, as no backup this program makes is; compare the two, then move "
                          "the backup away");
  EXPECT_EQ(ReadFile(form), "old\r\n");
  EXPECT_EQ(ReadFile(form + ".plindor-backup"), bytes);
}

// Reasons the system words itself are only checked for being there; their wording depends on
// the Windows language.
struct OpenFailureCase {
  std::string name;
  std::string path;  // relative to the test folder unless it names a device
  std::string mode;
  std::string reason;  // exact, or "" for the system's own text
};

std::ostream& operator<<(std::ostream& out, const OpenFailureCase& c) { return out << c.name; }

class Win32OpenFailureTest : public Win32DiskFileSystemTest,
                             public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(Win32OpenFailureTest, FailsWithTheGivenPathAndAReason) {
  const auto& [name, relative, mode, reason] = GetParam();
  std::filesystem::create_directory(dir_.path() / "Forms");
  WriteFile(dir_.path() / "Main.frm", "kept");
  const bool device = relative.find('.') == std::string::npos && relative.size() <= 4;
  const std::string path = device ? relative : dir_ / relative;

  const std::string message = testing::RepairErrorOf([&] { files_.OpenForRepair("", path); });

  const std::string prefix = "cannot open \"" + path + "\" " + mode + ": ";
  ASSERT_GT(message.size(), prefix.size()) << message;
  EXPECT_EQ(message.substr(0, prefix.size()), prefix);
  const std::string actual_reason = message.substr(prefix.size());
  if (!reason.empty()) {
    EXPECT_EQ(actual_reason, reason);
  }
  EXPECT_NE(actual_reason.back(), '.') << message;
  EXPECT_EQ(actual_reason.find_first_of("\r\n"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Missing.frm"));
  EXPECT_EQ(ReadFile(dir_.path() / "Main.frm"), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Win32OpenFailureTest,
    ::testing::Values(OpenFailureCase{"MissingFile", "Missing.frm", "for reading", ""},
                      OpenFailureCase{"MissingFolder", "Nowhere\\Main.frm", "for reading", ""},
                      OpenFailureCase{"Folder", "Forms", "for reading", ""},
                      OpenFailureCase{"NulDevice", "NUL", "for reading", "not a regular file"},
                      OpenFailureCase{"ConsoleDevice", "CON", "for reading", "not a regular file"},
                      OpenFailureCase{"SerialPortWithExtension", "Forms\\COM1.frm", "for reading",
                                      "not a regular file"}),
    [](const auto& row) { return row.param.name; });

// Windows ends a path at its first NUL, so "Main.frm<NUL>.bak" would rewrite Main.frm.
TEST_F(Win32DiskFileSystemTest, PathWithANulCharacterIsRefusedNotCutShort) {
  WriteFile(dir_.path() / "Main.frm", "kept");
  const std::string path = dir_ / "Main.frm" + std::string(1, '\0') + ".bak";

  EXPECT_THROW(RewriteThrough(path, "lost"), RepairError);
  EXPECT_EQ(ReadFile(dir_.path() / "Main.frm"), "kept");
}

TEST_F(Win32DiskFileSystemTest, EmptyPathFailsToOpen) {
  const std::string message = testing::RepairErrorOf([&] { files_.OpenForRepair("", ""); });
  EXPECT_EQ(message.substr(0, 27), "cannot open \"\" for reading:") << message;
}

// Windows has no file-size limit to provoke a failing write, so a volume that is really full
// stands in: the small one of the tests' Wine session (cmake/PlindorWine.cmake). Anything larger
// is left alone, as filling it would take long and starve the machine.
TEST_F(Win32DiskFileSystemTest, FullVolumeLeavesTheFileAsItWas) {
  wchar_t volume[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"PLINDOR_TEST_SMALL_VOLUME", volume, MAX_PATH);
  if (length == 0) {
    GTEST_SKIP() << "PLINDOR_TEST_SMALL_VOLUME is not set: CTest's Wine session names the volume";
  }
  if (length >= MAX_PATH) {
    GTEST_SKIP() << "PLINDOR_TEST_SMALL_VOLUME is longer than MAX_PATH";
  }
  ULARGE_INTEGER size{};
  if (!::GetDiskFreeSpaceExW(volume, nullptr, &size, nullptr)) {
    const DWORD error = ::GetLastError();
    GTEST_SKIP() << "no volume is mounted at " << Utf8(volume) << " (error " << error
                 << "); the wine_start test says why it mounted none";
  }
  if (size.QuadPart > 1024 * 1024) {
    GTEST_SKIP() << Utf8(volume) << " is on a volume of " << size.QuadPart
                 << " bytes, too large to fill";
  }
  const std::filesystem::path folder = std::filesystem::path(volume) / "FullVolume";
  std::filesystem::create_directory(folder);
  struct Cleanup {
    std::filesystem::path folder;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
  } cleanup{folder};
  const std::string original = "VERSION 5.00\r\n" + std::string(4000, 'o');
  const std::string path = Utf8(folder / "Main.frm");
  WriteFile(path, original);
  {
    std::ofstream filler(folder / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
  }

  const std::string message =
      testing::RepairErrorOf([&] { RewriteThrough(path, std::string(200000, 'n')); });

  const std::string prefix = "cannot write \"" + path + "\": ";
  ASSERT_GT(message.size(), prefix.size()) << message;
  EXPECT_EQ(message.substr(0, prefix.size()), prefix);
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(path + ".plindor-backup"));
}

}  // namespace
}  // namespace plindor::repair
