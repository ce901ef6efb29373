#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "win32/table_window.h"

namespace plindor::win32 {

// Creates and shows the main window; called at most once.
using StartMainWindow = std::function<void()>;

// The terms window the program starts with. It names the product and its version and makes the
// user choose: I Agree shows the main window, lets the messages waiting run once, and closes
// this one; I Disagree (or Esc) closes it and calls `on_disagreed`, which ends the program.
class Form2 final {
 public:
  // Loads the window, hidden: fills its texts from the program's version record.
  Form2(HINSTANCE instance, StartMainWindow start_main_window, std::function<void()> on_disagreed);
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  void Show() { window_.Show(); }
  HWND hwnd() const { return window_.hwnd(); }
  HWND Control(std::string_view name) const { return window_.Control(name); }
  // The layout the window is built from.
  const WindowTable& Table() const { return window_.table(); }

 private:
  void OnCommand(int id);
  void Agree();
  void Disagree();

  StartMainWindow start_main_window_;
  std::function<void()> on_disagreed_;
  TableWindow window_;
};

}  // namespace plindor::win32
