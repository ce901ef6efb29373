#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/control_text.h"
#include "win32/message_loop.h"

namespace plindor::testing {

// What the tests ask of the real controls, and how they act on them.
inline LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  ::GetObjectW(handle, sizeof font, &font);
  return font;
}

// The face the system really draws the control's font with, after any substitution.
inline std::wstring DrawnFace(HWND control) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  wchar_t face[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, face);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return face;
}

// The colour the window gives a static control's text, asked the way the control asks.
inline COLORREF TextColourOf(HWND window, HWND control) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  ::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
  const COLORREF colour = ::GetTextColor(dc);
  ::DeleteDC(dc);
  return colour;
}

// The tab stops from the first, in the order Tab visits them.
inline std::vector<HWND> TabOrder(HWND window) {
  std::vector<HWND> order;
  HWND first = ::GetNextDlgTabItem(window, nullptr, FALSE);
  for (HWND at = first; at != nullptr;) {
    order.push_back(at);
    at = ::GetNextDlgTabItem(window, at, FALSE);
    if (at == first) break;
  }
  return order;
}

// A key pressed while `target` has the focus, through the program's own message handling.
inline void PressKey(HWND target, WPARAM key) {
  ::PostMessageW(target, WM_KEYDOWN, key, 1);
  ::PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  win32::ProcessPendingMessages();
}

inline void TypeCharacter(HWND target, wchar_t character) {
  ::PostMessageW(target, WM_CHAR, character, 1);
  win32::ProcessPendingMessages();
}

inline void Click(HWND button) {
  ::SendMessageW(button, BM_CLICK, 0, 0);
  win32::ProcessPendingMessages();
}

}  // namespace plindor::testing
