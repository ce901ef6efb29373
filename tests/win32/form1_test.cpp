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
using testing::kOldComponent;
using testing::PressKey;
using testing::ReadFile;
using testing::ScriptedChooser;
using testing::TempDir;
using testing::TextOf;
using testing::Twips;
using testing::TwipsOf;
using testing::WriteFile;

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

TEST_F(Form1Test, ControlsSitWhereTheLayoutPutsThem) {
  EXPECT_EQ(testing::ClientTwips(form_.hwnd()), (Twips{0, 0, 5970, 4515}));
  EXPECT_EQ(TwipsOf(Control("Command1")), (Twips{360, 1800, 2295, 375}));
  EXPECT_EQ(TwipsOf(Control("Command2")), (Twips{3240, 1800, 2295, 375}));
  EXPECT_EQ(TwipsOf(Control("Text1")), (Twips{360, 2400, 5175, 1935}));
  // Placed inside the frame, relative to its corner.
  EXPECT_EQ(TwipsOf(Control("Label1"), Control("Frame1")), (Twips{120, 240, 5415, 1095}));
  RECT window{};
  ::GetWindowRect(form_.hwnd(), &window);
  EXPECT_EQ(window.left * testing::kTwipsPerPixel, 1545);
  EXPECT_EQ(window.top * testing::kTwipsPerPixel, 1545);
}

TEST_F(Form1Test, ControlsStayInsideTheWindowAndTheLabelInsideTheFrameBorder) {
  const Twips client = testing::ClientTwips(form_.hwnd());
  for (const char* name : {"Command1", "Command2", "Frame1", "Label1", "Text1"}) {
    const Twips at = TwipsOf(Control(name));
    EXPECT_TRUE(at.left >= 0 && at.top >= 0 && at.left + at.width <= client.width &&
                at.top + at.height <= client.height)
        << name;
  }
  // Clear of the frame's border on every side, and below its caption.
  const Twips label = TwipsOf(Control("Label1"), Control("Frame1"));
  const Twips frame = TwipsOf(Control("Frame1"));
  EXPECT_GT(label.left, 2 * testing::kTwipsPerPixel);
  EXPECT_GT(label.top, 13 * testing::kTwipsPerPixel);
  EXPECT_LT(label.left + label.width, frame.width - 2 * testing::kTwipsPerPixel);
  EXPECT_LT(label.top + label.height, frame.height - 2 * testing::kTwipsPerPixel);
}

TEST_F(Form1Test, CaptionsFontsAndColours) {
  EXPECT_EQ(TextOf(form_.hwnd()), L"Plindor");
  EXPECT_EQ(TextOf(Control("Command1")), L"Find It and Fix It!");
  EXPECT_EQ(TextOf(Control("Command2")), L"Exit");
  EXPECT_EQ(TextOf(Control("Frame1")), L"Instructions");
  EXPECT_EQ(TextOf(Control("Label1")).substr(0, 24), L"Make sure that the progr");
  EXPECT_EQ(TextOf(Control("Text1")), L"");
  for (const char* name : {"Command1", "Command2", "Frame1", "Label1", "Text1"}) {
    const LOGFONTW font = testing::FontOf(Control(name));
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif") << name;
    EXPECT_EQ(testing::DrawnFace(Control(name)), L"MS Sans Serif") << name;
    EXPECT_EQ(font.lfHeight, -11) << name << ": 8.25 pt at 96 dpi";
    EXPECT_EQ(font.lfWeight, std::string(name) == "Text1" ? FW_NORMAL : FW_BOLD) << name;
  }
  EXPECT_EQ(testing::TextColourOf(form_.hwnd(), Control("Frame1")), RGB(255, 0, 0));
  EXPECT_EQ(testing::TextColourOf(form_.hwnd(), Control("Label1")), RGB(0, 0, 255));
}

TEST_F(Form1Test, OpensWithFocusOnExitAndTabVisitsExitFindItAndTheLog) {
  EXPECT_EQ(::GetFocus(), Control("Command2"));
  EXPECT_EQ(testing::TabOrder(form_.hwnd()),
            (std::vector<HWND>{Control("Command2"), Control("Command1"), Control("Text1")}));
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

TEST_F(Form1Test, CancelChangesNothing) {
  const std::wstring project = SampleProject();
  const std::filesystem::path before = std::filesystem::current_path();
  ::SetWindowTextW(Control("Text1"), L"kept");

  Run(std::nullopt);
  Run(std::nullopt);

  EXPECT_EQ(Log(), L"kept");
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_EQ(ReadFile(folder_ / "Main.frm"), kOldComponent);
  // A cancelled dialog leaves the next one where this one started.
  ASSERT_EQ(chooser_.asked_from.size(), 2u);
  EXPECT_EQ(chooser_.asked_from[1], chooser_.asked_from[0]);
}

TEST_F(Form1Test, FailedRunSaysWhereItStopped) {
  WriteFile(folder_ / "App.vbp", "Form=Main.frm\r\nForm=Missing.frm\r\nUserControl=Gauge.ctl\r\n");
  WriteFile(folder_ / "Main.frm", kOldComponent);
  WriteFile(folder_ / "Gauge.ctl", kOldComponent);
  const std::wstring project = folder_.path().wstring() + L"\\App.vbp";

  Run(project);

  const std::wstring log = Log();
  const std::wstring head = L"Fixing " + project +
                            L"\r\n   fixing Main.frm\r\n   fixing Missing.frm\r\n"
                            L"Error: cannot open \"Missing.frm\" for reading: ";
  EXPECT_EQ(log.substr(0, head.size()), head);
  const std::wstring tail = L"\r\nFixup stopped.\r\n";
  ASSERT_GT(log.size(), head.size() + tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  EXPECT_EQ(ReadFile(folder_ / "Main.frm"), kNewComponent);
  EXPECT_EQ(ReadFile(folder_ / "Gauge.ctl"), kOldComponent);
}

TEST_F(Form1Test, FolderThatCannotBeEnteredStopsTheRun) {
  const std::wstring gone = folder_.path().wstring() + L"\\gone";
  Run(gone + L"\\App.vbp");
  EXPECT_EQ(Log(),
            L"Error: cannot make \"" + gone + L"\" the current folder\r\nFixup stopped.\r\n");
}

}  // namespace
}  // namespace plindor::win32
