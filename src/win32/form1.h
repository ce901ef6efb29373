#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "repair/disk_file_system.h"
#include "win32/edit_box_log.h"
#include "win32/file_chooser.h"
#include "win32/table_window.h"

namespace plindor::win32 {

// The main window: explains the procedure, lets the user pick a project, repairs it and shows
// the progress log. Owns what the repair borrows: the file service and the log box.
class Form1 final {
 public:
  // Creates the window, hidden. `on_closed` runs once the user has closed it (Exit, Esc or the
  // close box); the window is gone by then.
  Form1(HINSTANCE instance, std::unique_ptr<FileChooser> chooser, std::function<void()> on_closed);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Show() { window_.Show(); }
  HWND hwnd() const { return window_.hwnd(); }
  HWND Control(std::string_view name) const { return window_.Control(name); }
  // The layout the window is built from.
  const WindowTable& Table() const { return window_.table(); }

 private:
  void OnCommand(int id);
  // One run: ask for a project, make its folder current, repair it, then write the closing
  // line. A cancelled dialog ends the run with nothing logged.
  void FindItAndFixIt();

  std::unique_ptr<FileChooser> chooser_;
  std::function<void()> on_closed_;
  // The dialog's next starting point: the program's folder, then the last file chosen.
  std::wstring file_name_;
  repair::DiskFileSystem file_sys_;
  TableWindow window_;
  EditBoxLog log_;
};

}  // namespace plindor::win32
