#include "win32/start.h"

#include <commctrl.h>

#include <exception>
#include <memory>

#include "win32/form1.h"
#include "win32/form2.h"
#include "win32/message_loop.h"
#include "win32/text_encoding.h"

namespace plindor::win32 {

int RunProgram(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  std::unique_ptr<Form1> main_window;
  const auto quit = [] { ::PostQuitMessage(0); };
  try {
    Form2 terms(
        instance,
        [&main_window, instance, quit] {
          main_window = std::make_unique<Form1>(instance, quit);
          main_window->Show();
        },
        quit);
    terms.Show();
    return RunMessageLoop();
  } catch (const std::exception& error) {
    ::MessageBoxW(nullptr, WideFromUtf8(error.what()).c_str(), nullptr, MB_OK | MB_ICONERROR);
    return 1;
  }
}

}  // namespace plindor::win32
