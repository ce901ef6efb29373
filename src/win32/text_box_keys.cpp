#include "win32/text_box_keys.h"

#include <commctrl.h>

namespace plindor::win32 {
namespace {

constexpr UINT_PTR kRouteKeys = 1;
constexpr UINT_PTR kDiscardCharacters = 2;

LRESULT CALLBACK RouteKeys(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR /*id*/,
                           DWORD_PTR keeps_return) {
  if (message == WM_GETDLGCODE && lparam != 0) {
    const MSG& key = *reinterpret_cast<const MSG*>(lparam);
    if (key.message == WM_KEYDOWN && (key.wParam == VK_TAB || key.wParam == VK_ESCAPE ||
                                      (key.wParam == VK_RETURN && keeps_return == 0))) {
      return ::DefSubclassProc(edit, message, wparam, lparam) & ~DLGC_WANTALLKEYS;
    }
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(edit, RouteKeys, kRouteKeys);
  }
  return ::DefSubclassProc(edit, message, wparam, lparam);
}

LRESULT CALLBACK DiscardCharacters(HWND edit, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR /*id*/, DWORD_PTR /*data*/) {
  switch (message) {
    case WM_CHAR:
    case WM_IME_CHAR:
      return 0;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(edit, DiscardCharacters, kDiscardCharacters);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(edit, message, wparam, lparam);
}

}  // namespace

void RouteDialogKeys(HWND edit, bool keeps_return) {
  ::SetWindowSubclass(edit, RouteKeys, kRouteKeys, keeps_return ? 1 : 0);
}

void DiscardTypedCharacters(HWND edit) {
  ::SetWindowSubclass(edit, DiscardCharacters, kDiscardCharacters, 0);
}

}  // namespace plindor::win32
