#include "win32/form2.h"

#include <gtest/gtest.h>

#include <string>

#include <version/version_record.h>

#include "desktop/texts.h"
#include "win32/text_encoding.h"
#include "window_queries.h"

namespace plindor::win32 {
namespace {

using testing::Click;
using testing::PressKey;

// Receives the work the main window leaves pending when it starts.
constexpr wchar_t kProbeClass[] = L"PlindorStartProbe";
constexpr UINT kPending = WM_APP + 1;

class Form2Test : public ::testing::Test {
 protected:
  Form2Test()
      : terms_(
            ::GetModuleHandleW(nullptr), [this] { StartMain(); }, [this] { ++disagreed_; }) {
    terms_.Show();
  }

  static void SetUpTestSuite() {
    WNDCLASSW probe{};
    probe.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      if (message == kPending) {
        auto* self = reinterpret_cast<Form2Test*>(lparam);
        self->terms_alive_in_pending_work_ = ::IsWindow(self->terms_hwnd_) != FALSE;
        ++self->pending_work_done_;
        return 0;
      }
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
    };
    probe.hInstance = ::GetModuleHandleW(nullptr);
    probe.lpszClassName = kProbeClass;
    ::RegisterClassW(&probe);
  }

  void StartMain() {
    ++started_;
    terms_hwnd_ = terms_.hwnd();
    terms_visible_when_started_ = ::IsWindowVisible(terms_hwnd_) != FALSE;
    main_ = ::CreateWindowW(kProbeClass, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
    ::PostMessageW(main_, kPending, 0, reinterpret_cast<LPARAM>(this));
  }

  ~Form2Test() override {
    if (main_ != nullptr) ::DestroyWindow(main_);
  }

  HWND Control(const char* name) const { return terms_.Control(name); }

  int started_ = 0;
  int disagreed_ = 0;
  HWND main_ = nullptr;
  HWND terms_hwnd_ = nullptr;
  bool terms_visible_when_started_ = false;
  bool terms_alive_in_pending_work_ = false;
  int pending_work_done_ = 0;
  Form2 terms_;
};

TEST_F(Form2Test, HasNoTitleBarAndAFixedSize) {
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(terms_.hwnd(), GWL_STYLE));
  EXPECT_NE(style & WS_POPUP, 0u);
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_DLGFRAME));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0u);
}

TEST_F(Form2Test, TextsComeFromTheVersionRecordAndTheSharedTexts) {
  EXPECT_EQ(TextOf(Control("Label1")), L"Product: Plindor; Version 1.0.1");
  EXPECT_EQ(TextOf(Control("Label2")), WideFromUtf8(version::kLegalCopyright));
  EXPECT_EQ(TextOf(Control("Label3")).substr(0, 10), L"Author of ");
  EXPECT_EQ(TextOf(Control("Label5")), WideFromUtf8(desktop::kNotice));
  EXPECT_EQ(TextOf(Control("Text1")), WideFromUtf8(desktop::kDisclaimer));
  EXPECT_EQ(TextOf(Control("Command1")), L"I Agree");
  EXPECT_EQ(TextOf(Control("Command2")), L"I Disagree");
}

TEST_F(Form2Test, TheDisclaimerDiscardsTypedCharactersButNotDeleteTabOrEsc) {
  HWND box = Control("Text1");
  const std::wstring disclaimer = TextOf(box);
  ::SetFocus(box);
  ::SendMessageW(box, EM_SETSEL, 0, 0);
  for (const wchar_t typed : {L'x', L'\b', L'\r', L'\x16' /* Ctrl+V */, L'\u00e9'}) {
    testing::TypeCharacter(box, typed);
  }
  EXPECT_EQ(TextOf(box), disclaimer);

  PressKey(box, VK_DELETE);
  EXPECT_EQ(TextOf(box), disclaimer.substr(1));

  PressKey(box, VK_TAB);
  EXPECT_EQ(::GetFocus(), Control("Command2"));

  ::SetFocus(box);
  PressKey(box, VK_ESCAPE);
  EXPECT_EQ(terms_.hwnd(), nullptr);
  EXPECT_EQ(disagreed_, 1);
  EXPECT_EQ(started_, 0);
}

TEST_F(Form2Test, IAgreeShowsTheMainWindowLetsItsWorkRunThenCloses) {
  Click(Control("Command1"));
  EXPECT_EQ(started_, 1);
  EXPECT_TRUE(terms_visible_when_started_);
  EXPECT_EQ(pending_work_done_, 1);
  EXPECT_TRUE(terms_alive_in_pending_work_);
  EXPECT_EQ(terms_.hwnd(), nullptr);
  EXPECT_FALSE(::IsWindow(terms_hwnd_));
  EXPECT_EQ(disagreed_, 0);
}

TEST_F(Form2Test, IDisagreeEndsWithoutTheMainWindow) {
  Click(Control("Command2"));
  EXPECT_EQ(started_, 0);
  EXPECT_EQ(disagreed_, 1);
  EXPECT_EQ(terms_.hwnd(), nullptr);
}

TEST_F(Form2Test, ReturnPressesTheFocusedButton) {
  ::SendMessageW(terms_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control("Command1")), TRUE);
  PressKey(Control("Command1"), VK_RETURN);
  EXPECT_EQ(started_, 1);
  EXPECT_EQ(disagreed_, 0);
}

}  // namespace
}  // namespace plindor::win32
