#include "win32/form2.h"

#include <exception>
#include <utility>

#include "desktop/texts.h"
#include "desktop/version_info.h"
#include "win32/message_loop.h"
#include "win32/resource_ids.h"
#include "win32/text_box_keys.h"
#include "win32/text_encoding.h"
#include "win32/version_resource.h"

namespace plindor::win32 {
namespace {

constexpr int kAgree = 1001;
constexpr COLORREF kRed = RGB(255, 0, 0);

constexpr ControlRow kControls[] = {
    {.name = "Command2",
     .id = IDCANCEL,
     .kind = ControlKind::kPushButton,
     .place = {3480, 5160, 2055, 375},
     .caption = desktop::kIDisagree,
     .font = {8.25, true}},
    {.name = "Command1",
     .id = kAgree,
     .kind = ControlKind::kPushButton,
     .place = {840, 5160, 2055, 375},
     .caption = desktop::kIAgree,
     .font = {8.25, true}},
    {.name = "Label1", .id = 1002, .kind = ControlKind::kLabel, .place = {2400, 1200, 3495, 255}},
    {.name = "Label2", .id = 1003, .kind = ControlKind::kLabel, .place = {2400, 1440, 3495, 255}},
    {.name = "Label3", .id = 1004, .kind = ControlKind::kLabel, .place = {2400, 1680, 3495, 255}},
    {.name = "Label5",
     .id = 1005,
     .kind = ControlKind::kLabel,
     .place = {360, 2040, 5535, 1095},
     .caption = desktop::kNotice,
     .font = {9.75, true},
     .text_colour = kRed},
    {.name = "Text1",
     .id = 1006,
     .kind = ControlKind::kTextBox,
     .place = {360, 3240, 5655, 1695},
     .font = {9.75, false}},
    {.name = "Picture2",
     .id = 1007,
     .kind = ControlKind::kPicture,
     .place = {360, 120, 1500, 1785},
     .resource = PLINDOR_PHOTO},
    {.name = "Picture1",
     .id = 1008,
     .kind = ControlKind::kDrawing,
     .place = {2400, 0, 3495, 1095},
     .resource = PLINDOR_LOGO},
};

// No title bar, no close box, a fixed size.
constexpr WindowTable kWindow = {
    .title = "",
    .style = WS_POPUP | WS_DLGFRAME,
    .place = {1470, 1695, 6315, 5805},
    .background = COLOR_HIGHLIGHTTEXT,
    .controls = kControls,
};

}  // namespace

Form2::Form2(HINSTANCE instance, StartMainWindow start_main_window,
             std::function<void()> on_disagreed)
    : start_main_window_(std::move(start_main_window)),
      on_disagreed_(std::move(on_disagreed)),
      window_(instance, kWindow, [this](int id) { OnCommand(id); }) {
  const desktop::VersionInfo version = ReadVersionInfo();
  window_.SetText("Label1", desktop::VersionLine(version, FormatWholeNumber));
  window_.SetText("Label2", version.legal_copyright);
  window_.SetText("Label3", desktop::kCredit);
  window_.SetText("Text1", desktop::kDisclaimer);
  DiscardTypedCharacters(Control("Text1"));
}

void Form2::OnCommand(int id) {
  if (id == kAgree) {
    Agree();
  } else if (id == IDCANCEL) {
    Disagree();
  }
}

void Form2::Agree() {
  try {
    start_main_window_();
  } catch (const std::exception& error) {
    // Nothing else can report it, and the program must not go on half started.
    ::MessageBoxW(window_.hwnd(), WideFromUtf8(error.what()).c_str(), nullptr,
                  MB_OK | MB_ICONERROR);
    Disagree();
    return;
  }
  // The main window is up before this one goes, so the program never finds itself windowless.
  ProcessPendingMessages();
  window_.Destroy();
}

void Form2::Disagree() {
  window_.Destroy();
  if (on_disagreed_) on_disagreed_();
}

}  // namespace plindor::win32
