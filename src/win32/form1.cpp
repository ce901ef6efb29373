#include "win32/form1.h"

#include <utility>

#include "desktop/texts.h"
#include "win32/module_path.h"
#include "win32/open_file_dialog.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {
namespace {

constexpr int kFindItAndFixIt = 1001;

constexpr ControlRow kControls[] = {
    {.name = "Command2",
     .id = IDCANCEL,
     .kind = ControlKind::kPushButton,
     .place = {3240, 1800, 2295, 375},
     .caption = desktop::kExit,
     .font = {8.25, true}},
    {.name = "Command1",
     .id = kFindItAndFixIt,
     .kind = ControlKind::kPushButton,
     .place = {360, 1800, 2295, 375},
     .caption = desktop::kFindItAndFixIt,
     .font = {8.25, true}},
    {.name = "Frame1",
     .id = 1002,
     .kind = ControlKind::kGroupBox,
     .place = {120, 120, 5655, 1455},
     .caption = desktop::kInstructionsCaption,
     .font = {8.25, true},
     .text_colour = RGB(255, 0, 0)},
    {.name = "Label1",
     .id = 1003,
     .kind = ControlKind::kLabel,
     .place = {120, 240, 5415, 1095},
     .caption = desktop::kInstructions,
     .font = {8.25, true},
     .text_colour = RGB(0, 0, 255),
     .inside = "Frame1"},
    // Return breaks a line: the user may write in the log.
    {.name = "Text1",
     .id = 1004,
     .kind = ControlKind::kTextBox,
     .place = {360, 2400, 5175, 1935},
     .caption = "",
     .font = {8.25, false},
     .extra_style = ES_WANTRETURN},
};

constexpr WindowTable kWindow = {
    .title = desktop::kMainTitle,
    .style = WS_OVERLAPPEDWINDOW,
    .place = {1545, 1545, 5970, 4515},
    .background = COLOR_WINDOW,
    .controls = kControls,
};

}  // namespace

Form1::Form1(HINSTANCE instance, std::function<void()> on_closed,
             std::unique_ptr<desktop::ProjectChooser> chooser)
    : on_closed_(std::move(on_closed)),
      window_(instance, kWindow, [this](int id) { OnCommand(id); }),
      log_(window_.Control("Text1")),
      chooser_(chooser ? std::move(chooser) : std::make_unique<OpenFileDialog>(window_)),
      // The first dialog starts in the program's folder.
      run_(*chooser_, file_system_, log_, Utf8FromWide(ProgramFolder())) {
  log_.Clear();
}

void Form1::OnCommand(int id) {
  if (id == kFindItAndFixIt) {
    run_.Run();
  } else if (id == IDCANCEL) {
    window_.Destroy();
    if (on_closed_) on_closed_();
  }
}

}  // namespace plindor::win32
