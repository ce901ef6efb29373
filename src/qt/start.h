#pragma once

#include <QIcon>

#include "qt/form2.h"

namespace plindor::qt {

// The program's icon, for every window's title bar and task bar entry.
QIcon ProgramIcon();

// Creates, loads and shows the terms window; it deletes itself when unloaded.
Form2* ShowTermsWindow(MainWindowFactory make_main_window);

// The whole run of the program: shows the terms window first, with nothing before it, and
// returns when the last window has been unloaded. Reads no command line of its own (argc and
// argv are the toolkit's). The main window made by make_main_window is deleted at the end if it
// has not deleted itself.
int RunProgram(int& argc, char** argv, MainWindowFactory make_main_window);

}  // namespace plindor::qt
