#include "win32/edit_box_log.h"

#include <gtest/gtest.h>

#include <string>

#include "win32/form1.h"
#include "window_queries.h"

namespace plindor::win32 {
namespace {

// The main window's own log box, with the styles the program gives it.
class EditBoxLogTest : public ::testing::Test {
 protected:
  EditBoxLogTest()
      : form_(::GetModuleHandleW(nullptr), nullptr), box_(form_.Control("Text1")), log_(box_) {
    form_.Show();
  }

  std::pair<DWORD, DWORD> Selection() const {
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

  Form1 form_;
  HWND box_;
  EditBoxLog log_;
};

TEST_F(EditBoxLogTest, AppendsAfterWhatTheUserTypedAndKeepsTheSelection) {
  ::SetWindowTextW(box_, L"my notes: ");
  ::SendMessageW(box_, EM_SETSEL, 3, 5);

  log_.Append("Fixing a\r\n");
  log_.Append("Fixup completed.\r\n");

  EXPECT_EQ(TextOf(box_), L"my notes: Fixing a\r\nFixup completed.\r\n");
  EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>{3, 5}));
}

TEST_F(EditBoxLogTest, ACaretAtTheEndStaysWhereItWas) {
  ::SetWindowTextW(box_, L"0123456789");
  ::SendMessageW(box_, EM_SETSEL, 10, 10);
  log_.Append("line\r\n");
  EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>{10, 10}));
}

TEST_F(EditBoxLogTest, KeepsTheLastLineInView) {
  for (int line = 0; line < 200; ++line)
    log_.Append("   fixing Form" + std::to_string(line) + ".frm\r\n");
  log_.Append("Fixup completed.");

  const auto last_line = ::SendMessageW(box_, EM_GETLINECOUNT, 0, 0) - 1;
  const auto last_start = ::SendMessageW(box_, EM_LINEINDEX, static_cast<WPARAM>(last_line), 0);
  const auto at = ::SendMessageW(box_, EM_POSFROMCHAR, static_cast<WPARAM>(last_start), 0);
  RECT client{};
  ::GetClientRect(box_, &client);
  EXPECT_GT(::SendMessageW(box_, EM_GETFIRSTVISIBLELINE, 0, 0), 150);
  EXPECT_GE(static_cast<short>(HIWORD(at)), 0);
  EXPECT_LT(static_cast<short>(HIWORD(at)), client.bottom);
  // The caret stayed at the start.
  EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>{0, 0}));
}

TEST_F(EditBoxLogTest, ALongLogIsKeptWhole) {
  // Past the 30,000 characters an edit box takes by default.
  const std::string line(99, 'x');
  for (int i = 0; i < 500; ++i) log_.Append(line + "\r\n");
  EXPECT_EQ(::GetWindowTextLengthW(box_), 500 * 101);
}

TEST_F(EditBoxLogTest, BytesThatAreNotUtf8AreShownInTheAnsiCodePage) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the test prefix's ANSI code page is " << ::GetACP();
  log_.Append("   fixing Caf\xE9.frm\r\n");
  log_.Append("Fixing Caf\xC3\xA9.vbp\r\n");
  EXPECT_EQ(TextOf(box_), L"   fixing Caf\u00e9.frm\r\nFixing Caf\u00e9.vbp\r\n");
}

TEST_F(EditBoxLogTest, ALoneLineFeedStartsANewLine) {
  log_.Append("a\nb\r\n");
  EXPECT_EQ(TextOf(box_), L"a\r\nb\r\n");
  EXPECT_EQ(::SendMessageW(box_, EM_GETLINECOUNT, 0, 0), 3);
}

}  // namespace
}  // namespace plindor::win32
