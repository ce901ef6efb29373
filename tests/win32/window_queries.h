#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win32/file_chooser.h"
#include "win32/message_loop.h"

namespace plindor::testing {

// What the tests ask of the real controls, and how they act on them.
inline std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

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

// Answers file-open requests from a script instead of a user, and records how it was asked.
class ScriptedChooser final : public win32::FileChooser {
 public:
  struct Log {
    std::deque<std::optional<std::wstring>> answers;
    std::vector<std::wstring> asked_from;
    std::vector<std::wstring> filters;
  };
  explicit ScriptedChooser(Log& log) : log_(log) {}

  std::optional<std::wstring> ChooseExistingFile(HWND /*owner*/, const std::wstring& initial,
                                                 const win32::FileFilter& filter) override {
    log_.asked_from.push_back(initial);
    log_.filters.push_back(filter.name + L"|" + filter.pattern);
    // Unscripted requests are cancelled; tests see them in asked_from.
    if (log_.answers.empty()) return std::nullopt;
    std::optional<std::wstring> answer = std::move(log_.answers.front());
    log_.answers.pop_front();
    return answer;
  }

 private:
  Log& log_;
};

}  // namespace plindor::testing
