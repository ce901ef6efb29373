#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "win32/control_table.h"
#include "win32/gdi_handles.h"

namespace plindor::win32 {

// A top-level window built from its layout table: a dialog-managed window (Tab, Esc, Return and
// focus work as in any Windows dialog) whose controls sit at their twips positions scaled for
// the window's DPI, and follow it when the window moves to a monitor of another DPI. Push
// buttons, Esc and the close box all arrive as commands; IDCANCEL stands for Esc and the close
// box, so a window's cancel button takes that id. The window is created hidden.
class TableWindow final {
 public:
  using CommandHandler = std::function<void(int id)>;

  // Throws std::logic_error for a control `inside` one the table lacks.
  TableWindow(HINSTANCE instance, const WindowTable& table, CommandHandler on_command);
  TableWindow(const TableWindow&) = delete;
  TableWindow& operator=(const TableWindow&) = delete;
  ~TableWindow();

  HWND hwnd() const { return hwnd_; }
  const WindowTable& table() const { return table_; }
  // The control of that name, null once the window is gone; throws std::logic_error for a name
  // the table lacks.
  HWND Control(std::string_view name) const;
  // Sets the text of the control of that name (UTF-8), in a face it fits; does nothing once the
  // window is gone. Throws std::logic_error for a name the table lacks.
  void SetText(std::string_view name, std::string_view text);
  // Shows the window with the keyboard focus on the first control in the tab order.
  void Show();
  // Destroys the window now; later calls do nothing.
  void Destroy();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void LoadPictures();
  void Command(int id);
  // Tells the user of a failure that nothing else would report.
  void Report(const std::exception& error);
  void Place(UINT dpi);
  void Layout(UINT dpi);
  RECT PlaceOf(std::size_t row, UINT dpi) const;
  // The table's row of the control of that name; throws std::logic_error for a name it lacks.
  std::size_t RowOf(std::string_view name) const;
  const ControlRow* RowOf(HWND control) const;
  HBRUSH Colour(HDC dc, HWND control);
  void Draw(const DRAWITEMSTRUCT& item);
  void SetIcons(UINT dpi);

  HINSTANCE instance_;
  const WindowTable& table_;
  CommandHandler on_command_;
  HWND hwnd_ = nullptr;
  std::vector<TwipsRect> places_;  // in the client area, in the table's order
  std::vector<HWND> controls_;     // in the table's order
  std::vector<UniqueFont> fonts_;  // one per control, for the current DPI
  UniqueBitmap picture_;
  UniqueEnhMetaFile drawing_;
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  std::exception_ptr init_error_;
};

}  // namespace plindor::win32
