#include "win32/form1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sample_project.h"
#include "scripted_chooser.h"
#include "temp_dir.h"
#include "win32/module_path.h"
#include "win32/text_encoding.h"
#include "window_queries.h"

namespace plindor::win32 {
namespace {

using testing::Click;
using testing::PressKey;
using testing::ScriptedChooser;
using testing::TempDir;

// The log lines of one successful run on the sample project, as the box shows them.
std::wstring SampleRunLog(const std::wstring& project) {
  return L"Fixing " + project +
         L"\r\n   fixing Main.frm\r\n   fixing Forms\\Other.frm\r\n   fixing Gauge.ctl\r\n"
         L"Fixup completed.\r\n";
}

class Form1Test : public ::testing::Test {
 protected:
  Form1Test()
      : form_(
            ::GetModuleHandleW(nullptr), [this] { ++closed_; },
            std::make_unique<ScriptedChooser>(script_)) {
    form_.Show();
  }

  HWND Control(const char* name) const { return form_.Control(name); }

  ScriptedChooser::Script script_;
  int closed_ = 0;
  TempDir folder_;
  testing::CurrentDirectory restore_{std::filesystem::temp_directory_path()};
  Form1 form_;
};

TEST_F(Form1Test, Captions) {
  EXPECT_EQ(TextOf(form_.hwnd()), L"Plindor");
  EXPECT_EQ(TextOf(Control("Command1")), L"Find It and Fix It!");
  EXPECT_EQ(TextOf(Control("Command2")), L"Exit");
  EXPECT_EQ(TextOf(Control("Frame1")), L"Instructions");
  EXPECT_EQ(TextOf(Control("Label1")).substr(0, 24), L"Make sure that the progr");
  EXPECT_EQ(TextOf(Control("Text1")), L"");
}

TEST_F(Form1Test, TabGoesFromTheLogBackToTheWindow) {
  EXPECT_EQ(::GetFocus(), Control("Command2"));
  PressKey(Control("Command2"), VK_TAB);
  EXPECT_EQ(::GetFocus(), Control("Command1"));
  PressKey(Control("Command1"), VK_TAB);
  EXPECT_EQ(::GetFocus(), Control("Text1"));
  // The log box gives Tab back to the window.
  PressKey(Control("Text1"), VK_TAB);
  EXPECT_EQ(::GetFocus(), Control("Command2"));
}

TEST_F(Form1Test, ExitEscAndTheCloseBoxCloseTheWindow) {
  Click(Control("Command2"));
  EXPECT_EQ(form_.hwnd(), nullptr);
  EXPECT_EQ(closed_, 1);

  Form1 by_escape(::GetModuleHandleW(nullptr), [this] { ++closed_; });
  by_escape.Show();
  ::SetFocus(by_escape.Control("Text1"));
  PressKey(by_escape.Control("Text1"), VK_ESCAPE);
  EXPECT_EQ(by_escape.hwnd(), nullptr);
  EXPECT_EQ(closed_, 2);

  Form1 by_close_box(::GetModuleHandleW(nullptr), [this] { ++closed_; });
  by_close_box.Show();
  ::SendMessageW(by_close_box.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ProcessPendingMessages();
  EXPECT_EQ(by_close_box.hwnd(), nullptr);
  EXPECT_EQ(closed_, 3);
}

TEST_F(Form1Test, ReturnPressesTheFocusedButton) {
  ::SendMessageW(form_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control("Command1")), TRUE);
  PressKey(Control("Command1"), VK_RETURN);
  EXPECT_EQ(script_.asked_from.size(), 1u);
  EXPECT_NE(form_.hwnd(), nullptr);
}

// The run itself is the desktop code's; here, that the button reaches it from the program's
// folder and that the log box shows its lines.
TEST_F(Form1Test, FindItAndFixItLogsTheRunInTheBox) {
  const std::string project = testing::WriteSampleProject(folder_);
  script_.answers.push_back(project);
  Click(Control("Command1"));

  EXPECT_EQ(script_.asked_from, std::vector<std::string>{Utf8FromWide(ProgramFolder())});
  EXPECT_EQ(TextOf(Control("Text1")), SampleRunLog(WideFromUtf8(project)));
}

}  // namespace
}  // namespace plindor::win32
