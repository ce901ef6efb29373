// The yardstick for bench/start-time --windows: a Win32 window of the terms window's style and
// size with nothing in it, started the same way.

#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/, int show) {
  WNDCLASSW type{};
  type.lpfnWndProc = WindowProc;
  type.hInstance = instance;
  type.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
  type.lpszClassName = L"PlindorBareWindow";
  ::RegisterClassW(&type);
  // The terms window's frame around its client area of 421 x 387 pixels at 96 dpi.
  constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
  RECT frame{0, 0, 421, 387};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  HWND window =
      ::CreateWindowExW(0, type.lpszClassName, L"", kStyle, 98, 113, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ::ShowWindow(window, show);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
