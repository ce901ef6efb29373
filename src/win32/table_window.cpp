#include "win32/table_window.h"

#include <commctrl.h>

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "win32/control_text.h"
#include "win32/group_box_caption.h"
#include "win32/layout_font.h"
#include "win32/resource_ids.h"
#include "win32/text_box_keys.h"
#include "win32/text_encoding.h"
#include "win32/twips.h"

namespace plindor::win32 {
namespace {

// A dialog template with no controls: the table adds them in pixels, not dialog units.
struct EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu = 0;
  WORD window_class = 0;
  WORD title = 0;
};

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kPushButton:
    case ControlKind::kGroupBox:
      return WC_BUTTONW;
    case ControlKind::kTextBox:
      return WC_EDITW;
    case ControlKind::kLabel:
    case ControlKind::kPicture:
    case ControlKind::kDrawing:
      return WC_STATICW;
  }
  return WC_STATICW;
}

DWORD StyleOf(const ControlRow& control) {
  DWORD style = WS_CHILD | WS_VISIBLE | control.extra_style;
  switch (control.kind) {
    case ControlKind::kPushButton:
      return style | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::kGroupBox:
      return style | BS_GROUPBOX;
    case ControlKind::kTextBox:
      return style | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
    case ControlKind::kLabel:
      return style | SS_LEFT | SS_NOPREFIX;
    case ControlKind::kPicture:
    case ControlKind::kDrawing:
      return style | SS_OWNERDRAW;
  }
  return style;
}

// The room a control gives its text, or nothing for a control whose text scrolls or that shows
// none. A button's edges and focus rectangle, and a frame's edges, take some of its box.
std::optional<TextToFit> TextRoomOf(const ControlRow& control, std::wstring_view text,
                                    const RECT& box, UINT dpi) {
  const auto scaled = [dpi](int pixels) { return ScaledPixels(pixels, dpi); };
  const LONG width = box.right - box.left;
  const LONG height = box.bottom - box.top;
  switch (control.kind) {
    case ControlKind::kLabel:
      return TextToFit{text, {width, height}, true};
    case ControlKind::kPushButton:
      return TextToFit{text, {width - 2 * scaled(4), height - 2 * scaled(3)}, false};
    case ControlKind::kGroupBox:
      return TextToFit{text, {width - 2 * scaled(8), height}, false};
    default:
      return std::nullopt;
  }
}

}  // namespace

TableWindow::TableWindow(HINSTANCE instance, const WindowTable& table, CommandHandler on_command)
    : instance_(instance), table_(table), on_command_(std::move(on_command)) {
  // Found once, here: a later lookup could fail where the system called the window.
  for (const ControlRow& control : table.controls) {
    TwipsRect place = control.place;
    if (control.inside != nullptr) {
      const TwipsRect& outer = table.controls[RowOf(control.inside)].place;
      place.left += outer.left;
      place.top += outer.top;
    }
    places_.push_back(place);
  }
  EmptyDialogTemplate layout{};
  layout.header.style = table.style & ~static_cast<DWORD>(WS_VISIBLE);
  layout.header.dwExtendedStyle = table.ex_style;
  LoadPictures();
  ::CreateDialogIndirectParamW(instance, &layout.header, nullptr, &TableWindow::DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (init_error_) {
    Destroy();
    std::rethrow_exception(init_error_);
  }
  if (hwnd_ == nullptr) {
    throw std::runtime_error("cannot create the window \"" + std::string(table.title) +
                             "\" (error " + std::to_string(::GetLastError()) + ")");
  }
}

TableWindow::~TableWindow() { Destroy(); }

void TableWindow::Destroy() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

std::size_t TableWindow::RowOf(std::string_view name) const {
  for (std::size_t i = 0; i < table_.controls.size(); ++i) {
    if (table_.controls[i].name == name) return i;
  }
  throw std::logic_error("the window has no control " + std::string(name));
}

HWND TableWindow::Control(std::string_view name) const {
  const std::size_t row = RowOf(name);
  return row < controls_.size() ? controls_[row] : nullptr;
}

void TableWindow::SetText(std::string_view name, std::string_view text) {
  const std::size_t row = RowOf(name);
  if (row >= controls_.size()) return;
  const std::wstring wide = WideFromUtf8(text);
  ::SetWindowTextW(controls_[row], wide.c_str());
  // The face that fits the old text may not fit the new one.
  const ControlRow& control = table_.controls[row];
  UniqueFont font =
      MakeLayoutFont(control.font, dpi_, TextRoomOf(control, wide, PlaceOf(row, dpi_), dpi_));
  ::SendMessageW(controls_[row], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  fonts_[row] = std::move(font);
}

void TableWindow::Show() {
  ::ShowWindow(hwnd_, SW_SHOW);
  HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (first != nullptr) ::SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
}

INT_PTR CALLBACK TableWindow::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<TableWindow*>(lparam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TableWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  const INT_PTR result = self->HandleMessage(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    self->controls_.clear();
  }
  return result;
}

INT_PTR TableWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      ::SetWindowTextW(hwnd_, WideFromUtf8(table_.title).c_str());
      // The dialog DPI scaling of newer systems would scale the table's pixels a second time.
      using SetBehavior = BOOL(WINAPI*)(HWND, int, int);
      if (auto set = reinterpret_cast<SetBehavior>(reinterpret_cast<void*>(
              ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior")))) {
        set(hwnd_, 3, 3);  // DDC_DISABLE_ALL
      }
      // Exceptions must not cross the system's frames; the constructor rethrows this one.
      try {
        CreateControls();
        Place(::GetDpiForWindow(hwnd_));
        // On the monitor it now sits on, which may have another DPI.
        Layout(::GetDpiForWindow(hwnd_));
      } catch (...) {
        init_error_ = std::current_exception();
      }
      // Focus goes where Show() puts it.
      return FALSE;
    }
    case WM_DPICHANGED: {
      const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
      // Exceptions must not cross the system's frames; the window keeps its old layout.
      try {
        Layout(HIWORD(wparam));
      } catch (const std::exception& error) {
        Report(error);
      }
      ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) Command(LOWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      Command(IDCANCEL);
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(::GetSysColorBrush(table_.background));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          Colour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
    case WM_DRAWITEM:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    default:
      return FALSE;
  }
}

void TableWindow::LoadPictures() {
  for (const ControlRow& control : table_.controls) {
    if (control.kind == ControlKind::kPicture) {
      picture_.reset(static_cast<HBITMAP>(::LoadImageW(
          instance_, MAKEINTRESOURCEW(control.resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    } else if (control.kind == ControlKind::kDrawing) {
      HRSRC found = ::FindResourceW(instance_, MAKEINTRESOURCEW(control.resource), RT_RCDATA);
      HGLOBAL loaded = found ? ::LoadResource(instance_, found) : nullptr;
      const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
      if (bytes != nullptr) {
        drawing_.reset(::SetEnhMetaFileBits(::SizeofResource(instance_, found),
                                            static_cast<const BYTE*>(bytes)));
      }
    }
  }
}

void TableWindow::CreateControls() {
  for (const ControlRow& control : table_.controls) {
    HWND created = ::CreateWindowExW(
        control.kind == ControlKind::kTextBox ? WS_EX_CLIENTEDGE : 0, ClassOf(control.kind),
        WideFromUtf8(control.caption).c_str(), StyleOf(control), 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_, nullptr);
    if (created == nullptr) {
      throw std::runtime_error("cannot create the control " + std::string(control.name));
    }
    if (control.kind == ControlKind::kGroupBox) DrawCaptionItself(created);
    if (control.kind == ControlKind::kTextBox) {
      // Unlimited: the default stops at 30,000 characters and would cut a long log short.
      ::SendMessageW(created, EM_SETLIMITTEXT, 0, 0);
      RouteDialogKeys(created, (control.extra_style & ES_WANTRETURN) != 0);
    }
    controls_.push_back(created);
  }
}

RECT TableWindow::PlaceOf(std::size_t row, UINT dpi) const {
  const TwipsRect& place = places_[row];
  const int left = TwipsToPixels(place.left, dpi);
  const int top = TwipsToPixels(place.top, dpi);
  return RECT{left, top, left + TwipsToPixels(place.width, dpi),
              top + TwipsToPixels(place.height, dpi)};
}

void TableWindow::Command(int id) {
  // Exceptions must not cross the system's frames, and nothing else would report this one.
  try {
    on_command_(id);
  } catch (const std::exception& error) {
    Report(error);
  }
}

void TableWindow::Report(const std::exception& error) {
  ::MessageBoxW(hwnd_, WideFromUtf8(error.what()).c_str(), WideFromUtf8(table_.title).c_str(),
                MB_OK | MB_ICONERROR);
}

void TableWindow::Place(UINT dpi) {
  if (dpi == 0) dpi = USER_DEFAULT_SCREEN_DPI;
  const int width = TwipsToPixels(table_.place.width, dpi);
  const int height = TwipsToPixels(table_.place.height, dpi);
  RECT frame{0, 0, width, height};
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  ::AdjustWindowRectExForDpi(&frame, style, FALSE, ex_style, dpi);
  ::SetWindowPos(hwnd_, nullptr, TwipsToPixels(table_.place.left, dpi),
                 TwipsToPixels(table_.place.top, dpi), frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TableWindow::Layout(UINT dpi) {
  if (dpi == 0) dpi = USER_DEFAULT_SCREEN_DPI;
  // Every font is made before any control changes: one that can't be leaves the old layout whole.
  std::vector<UniqueFont> fonts;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlRow& control = table_.controls[i];
    fonts.push_back(MakeLayoutFont(
        control.font, dpi, TextRoomOf(control, TextOf(controls_[i]), PlaceOf(i, dpi), dpi)));
  }
  dpi_ = dpi;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const RECT place = PlaceOf(i, dpi);
    ::SetWindowPos(controls_[i], nullptr, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[i].get()), TRUE);
  }
  // The old fonts go only once no control uses them.
  fonts_ = std::move(fonts);
  SetIcons(dpi);
}

void TableWindow::SetIcons(UINT dpi) {
  const auto load = [this, dpi](int metric_x, int metric_y) {
    return UniqueIcon(static_cast<HICON>(::LoadImageW(
        instance_, MAKEINTRESOURCEW(PLINDOR_ICON), IMAGE_ICON,
        ::GetSystemMetricsForDpi(metric_x, dpi), ::GetSystemMetricsForDpi(metric_y, dpi), 0)));
  };
  UniqueIcon big = load(SM_CXICON, SM_CYICON);
  UniqueIcon small = load(SM_CXSMICON, SM_CYSMICON);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  big_icon_ = std::move(big);
  small_icon_ = std::move(small);
}

const ControlRow* TableWindow::RowOf(HWND control) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i] == control) return &table_.controls[i];
  }
  return nullptr;
}

HBRUSH TableWindow::Colour(HDC dc, HWND control) {
  const ControlRow* row = RowOf(control);
  ::SetBkColor(dc, ::GetSysColor(table_.background));
  ::SetTextColor(
      dc, row != nullptr && row->text_colour ? *row->text_colour : ::GetSysColor(COLOR_WINDOWTEXT));
  return ::GetSysColorBrush(table_.background);
}

void TableWindow::Draw(const DRAWITEMSTRUCT& item) {
  const ControlRow* row = RowOf(item.hwndItem);
  if (row == nullptr) return;
  const RECT& box = item.rcItem;
  ::FillRect(item.hDC, &box, ::GetSysColorBrush(table_.background));
  if (row->kind == ControlKind::kPicture && picture_) {
    // The picture fills its box, which is its own size at 96 dpi.
    BITMAP bitmap{};
    ::GetObjectW(picture_.get(), sizeof bitmap, &bitmap);
    HDC memory = ::CreateCompatibleDC(item.hDC);
    HGDIOBJ old = ::SelectObject(memory, picture_.get());
    ::SetStretchBltMode(item.hDC, HALFTONE);
    ::StretchBlt(item.hDC, box.left, box.top, box.right - box.left, box.bottom - box.top, memory, 0,
                 0, bitmap.bmWidth, bitmap.bmHeight, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
  } else if (row->kind == ControlKind::kDrawing && drawing_) {
    // At the drawing's own size (its frame is in hundredths of a millimetre), from the box's
    // corner: what does not fit is cut off at the right and bottom.
    ENHMETAHEADER header{};
    ::GetEnhMetaFileHeader(drawing_.get(), sizeof header, &header);
    const int width =
        ::MulDiv(header.rclFrame.right - header.rclFrame.left, static_cast<int>(dpi_), 2540);
    const int height =
        ::MulDiv(header.rclFrame.bottom - header.rclFrame.top, static_cast<int>(dpi_), 2540);
    const RECT target{box.left, box.top, box.left + width, box.top + height};
    ::PlayEnhMetaFile(item.hDC, drawing_.get(), &target);
  }
}

}  // namespace plindor::win32
