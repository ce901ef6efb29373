// window-text TITLE N: prints, in UTF-8, the text of the Nth edit box (from 1) of the top-level
// window titled TITLE. Exits 1 when there is no such window or box.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: window-text TITLE N\n", stderr);
    return 2;
  }
  HWND window = ::FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 1;
  HWND box = nullptr;
  for (long n = std::wcstol(argv[2], nullptr, 10); n > 0; --n) {
    box = ::FindWindowExW(window, box, L"Edit", nullptr);
    if (box == nullptr) return 1;
  }
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
