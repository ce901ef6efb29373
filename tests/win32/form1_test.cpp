#include "win32/form1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "desktop/texts.h"
#include "sample_project.h"
#include "temp_dir.h"
#include "win32/module_path.h"
#include "window_queries.h"

namespace plindor::win32 {
namespace {

using testing::Click;
using testing::kComponents;
using testing::kNewComponent;
using testing::kNewProject;
using testing::PressKey;
using testing::ReadFile;
using testing::ScriptedChooser;
using testing::TempDir;
using testing::TextOf;

// The log lines of one successful run on the sample project, as the box shows them.
std::wstring SampleRunLog(const std::wstring& project) {
  return L"Fixing " + project +
         L"\r\n   fixing Main.frm\r\n   fixing Forms\\Other.frm\r\n   fixing Gauge.ctl\r\n"
         L"Fixup completed.\r\n";
}

class Form1Test : public ::testing::Test {
 protected:
  Form1Test()
      : form_(::GetModuleHandleW(nullptr), std::make_unique<ScriptedChooser>(chooser_),
              [this] { ++closed_; }) {
    form_.Show();
  }

  HWND Control(const char* name) const { return form_.Control(name); }
  std::wstring Log() const { return TextOf(Control("Text1")); }
  void Run(std::optional<std::wstring> answer) {
    chooser_.answers.push_back(std::move(answer));
    Click(Control("Command1"));
  }
  std::wstring SampleProject() {
    testing::WriteSampleProject(folder_);
    return folder_.path().wstring() + L"\\App.vbp";
  }

  ScriptedChooser::Log chooser_;
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

  Form1 by_escape(::GetModuleHandleW(nullptr), std::make_unique<ScriptedChooser>(chooser_),
                  [this] { ++closed_; });
  by_escape.Show();
  ::SetFocus(by_escape.Control("Text1"));
  PressKey(by_escape.Control("Text1"), VK_ESCAPE);
  EXPECT_EQ(by_escape.hwnd(), nullptr);
  EXPECT_EQ(closed_, 2);

  Form1 by_close_box(::GetModuleHandleW(nullptr), std::make_unique<ScriptedChooser>(chooser_),
                     [this] { ++closed_; });
  by_close_box.Show();
  ::SendMessageW(by_close_box.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ProcessPendingMessages();
  EXPECT_EQ(by_close_box.hwnd(), nullptr);
  EXPECT_EQ(closed_, 3);
}

TEST_F(Form1Test, ReturnPressesTheFocusedButton) {
  ::SendMessageW(form_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control("Command1")), TRUE);
  PressKey(Control("Command1"), VK_RETURN);
  EXPECT_EQ(chooser_.asked_from.size(), 1u);
  EXPECT_NE(form_.hwnd(), nullptr);
}

TEST_F(Form1Test, FirstDialogStartsInTheProgramsFolderWithTheProjectFilter) {
  Run(std::nullopt);
  EXPECT_EQ(chooser_.asked_from, std::vector<std::wstring>{ProgramFolder()});
  EXPECT_EQ(chooser_.filters, std::vector<std::wstring>{L"Projects (*.vbp)|*.vbp"});
}

TEST_F(Form1Test, RunRepairsTheProjectAndItsComponents) {
  const std::wstring project = SampleProject();
  Run(project);

  EXPECT_EQ(Log(), SampleRunLog(project));
  EXPECT_EQ(ReadFile(folder_ / "App.vbp"), kNewProject);
  for (const char* component : kComponents) {
    EXPECT_EQ(ReadFile(folder_ / component), kNewComponent) << component;
  }
  EXPECT_EQ(std::filesystem::current_path(), folder_.path());
}

TEST_F(Form1Test, TwoRunsAppendTwoBlocksAndTheSecondDialogStartsAtTheFirstChoice) {
  const std::wstring project = SampleProject();
  Run(project);
  Run(project);

  EXPECT_EQ(Log(), SampleRunLog(project) + SampleRunLog(project));
  EXPECT_EQ(chooser_.asked_from.at(1), project);
  EXPECT_EQ(ReadFile(folder_ / "Gauge.ctl"), kNewComponent);
}

}  // namespace
}  // namespace plindor::win32
