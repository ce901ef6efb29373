#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "desktop/find_and_fix.h"
#include "desktop/project_chooser.h"
#include "repair/disk_file_system.h"
#include "win32/edit_box_log.h"
#include "win32/table_window.h"

namespace plindor::win32 {

// The main window: explains the procedure, lets the user pick a project, repairs it and shows
// the progress log. Owns what the repair borrows: the file service and the log box.
class Form1 final {
 public:
  // Creates the window, hidden. `on_closed` runs once the user has closed it (Exit, Esc or the
  // close box); the window is gone by then. Projects are asked for through `chooser`, or where it
  // is null through the system's file-open dialog.
  Form1(HINSTANCE instance, std::function<void()> on_closed,
        std::unique_ptr<desktop::ProjectChooser> chooser = nullptr);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Show() { window_.Show(); }
  HWND hwnd() const { return window_.hwnd(); }
  HWND Control(std::string_view name) const { return window_.Control(name); }
  // The layout the window is built from.
  const WindowTable& Table() const { return window_.table(); }

 private:
  void OnCommand(int id);

  std::function<void()> on_closed_;
  repair::DiskFileSystem file_system_;
  TableWindow window_;
  EditBoxLog log_;
  std::unique_ptr<desktop::ProjectChooser> chooser_;
  desktop::FindAndFix run_;
};

}  // namespace plindor::win32
