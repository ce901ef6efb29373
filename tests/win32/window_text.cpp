// window-text TITLE N [CLASS]: prints, in UTF-8, the text of the Nth edit box (from 1), or
// control of that class, of a visible top-level window titled TITLE; with N = 0 it prints nothing
// and only checks that such a window is up. Exits 1 when there is no such window or control, or
// when it does not answer within five seconds (a program that crashed or hangs).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  const wchar_t* title;
  long n;
  const wchar_t* control_class;
  HWND box = nullptr;
  bool found = false;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  wchar_t title[256] = {};
  ::GetWindowTextW(window, title, 256);
  if (!::IsWindowVisible(window) || std::wcscmp(title, search.title) != 0) return TRUE;
  HWND box = nullptr;
  for (long i = 0; i < search.n; ++i) {
    box = ::FindWindowExW(window, box, search.control_class, nullptr);
    if (box == nullptr) return TRUE;
  }
  search.box = box;
  search.found = true;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: window-text TITLE N [CLASS]\n", stderr);
    return 2;
  }
  Search search{argv[1], std::wcstol(argv[2], nullptr, 10), argc == 4 ? argv[3] : L"Edit"};
  ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return 1;
  if (search.box == nullptr) return 0;
  // GetWindowText reads only captions of other processes' windows; the message reads the box.
  constexpr UINT kFlags = SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT;
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(search.box, WM_GETTEXTLENGTH, 0, 0, kFlags, 5000, &length)) return 1;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(search.box, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), kFlags, 5000, &copied)) {
    return 1;
  }
  text.resize(static_cast<std::size_t>(copied));
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  // The box's own CR LF, not text mode's CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
