// What the file-open dialog takes in place of a path too long for it.
#include "win32/typed_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {
namespace {

using testing::TempDir;
using testing::WriteFile;

const std::wstring kMissing = L"No file exists at this path.\nCheck the name and try again.";
const std::wstring kFolder = L"This path names a folder.\nType the name of a file in it.";
const std::wstring kDevice =
    L"This path names a device, not a file.\nType the name of a project file.";

class CheckAnswerTest : public ::testing::Test {
 protected:
  CheckAnswerTest() {
    WriteFile(folder_.path() / "Short.vbp", "Type=Exe\r\n");
    WriteFile(std::filesystem::path(long_) / "Long.vbp", "Type=Exe\r\n");
  }

  TempDir folder_;
  const std::wstring short_ = folder_.path().wstring();
  // Its files' paths are longer than MAX_PATH.
  const std::wstring long_ =
      short_ + L"\\" + std::wstring(120, L'f') + L"\\" + std::wstring(120, L'g');
};

TEST_F(CheckAnswerTest, TakesTheFullPathOfAnExistingFileAndRefusesAnythingElse) {
  const struct {
    std::wstring path;
    std::wstring file;
    std::wstring refusal;
  } rows[] = {
      {short_ + L"\\Short.vbp", short_ + L"\\Short.vbp", L""},
      {long_ + L"\\Long.vbp", long_ + L"\\Long.vbp", L""},
      {long_ + L"\\..\\..\\Short.vbp", short_ + L"\\Short.vbp", L""},
      // The dialog's default extension, for a name without one.
      {long_ + L"\\Long", long_ + L"\\Long.vbp", L""},
      {short_ + L"\\Short.v", L"", kMissing},
      {L"\\\\?\\" + long_ + L"\\Long.vbp", L"\\\\?\\" + long_ + L"\\Long.vbp", L""},
      {long_, L"", kFolder},
      {long_ + L"\\Missing.vbp", L"", kMissing},
      {short_ + L"\\None\\Short.vbp", L"", kMissing},
      {long_ + L"\\CON", L"", kDevice},
      {long_ + L"\\nul.vbp", L"", kDevice},
      {short_ + L"\\COM1.txt", L"", kDevice},
      {L"\\\\.\\" + short_ + L"\\Short.vbp", L"", kDevice},
      {L"\\\\?\\GLOBALROOT\\Device\\Null", L"", kDevice},
      // Any other failure in the system's words (Wine's for the error it gives).
      {L"\\\\nosuchserver\\share\\Project.vbp", L"", L"Bad device type."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8FromWide(row.path));
    const PathCheck check = CheckAnswer(row.path, L"vbp");
    EXPECT_EQ(check.file, row.file);
    EXPECT_EQ(check.refusal, row.refusal);
  }
}

TEST(JoinedPathTest, JoinsTheNameToTheFolderAsTheDialogDoes) {
  const struct {
    std::wstring folder;
    std::wstring name;
    std::wstring joined;
  } rows[] = {
      {L"C:\\Work", L"App.vbp", L"C:\\Work\\App.vbp"},
      {L"C:\\", L"Sub\\App.vbp", L"C:\\Sub\\App.vbp"},
      {L"C:\\Work", L"\"D:\\App.vbp\"", L"D:\\App.vbp"},
      {L"C:\\Work", L"\\\\server\\share\\App.vbp", L"\\\\server\\share\\App.vbp"},
      // A name from the root goes under the folder's drive, or its server's share.
      {L"C:\\Work\\Old", L"\\App.vbp", L"C:\\App.vbp"},
      {L"\\\\server\\share\\Work", L"\\App.vbp", L"\\\\server\\share\\App.vbp"},
      {L"\\\\server\\share", L"/App.vbp", L"\\\\server\\share/App.vbp"},
      {L"", L"App.vbp", L"App.vbp"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8FromWide(row.folder + L" + " + row.name));
    EXPECT_EQ(JoinedPath(row.folder, row.name), row.joined);
  }
}

TEST(EndsInTypedNameTest, TheNameAsTypedOrWithTheExtensionWindowsHides) {
  EXPECT_TRUE(EndsInTypedName(L"C:\\P\\Project1.vbp", L"C:\\P\\project1.VBP"));
  EXPECT_TRUE(EndsInTypedName(L"C:\\P\\Project1.vbp", L"D:\\Q\\Project1"));
  EXPECT_TRUE(EndsInTypedName(L"Project1", L"Project1"));
  // A path the dialog cut short ends in part of the name, or in another file's.
  EXPECT_FALSE(EndsInTypedName(L"C:\\P\\Project1.v", L"C:\\P\\Project1.vbp"));
  EXPECT_FALSE(EndsInTypedName(L"C:\\P\\Project10.vbp", L"C:\\P\\Project1"));
  EXPECT_FALSE(EndsInTypedName(L"C:\\P", L"C:\\P\\Project1.vbp"));
}

}  // namespace
}  // namespace plindor::win32
