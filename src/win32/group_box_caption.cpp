#include "win32/group_box_caption.h"

#include <commctrl.h>

#include <string>

#include "win32/control_text.h"
#include "win32/twips.h"

namespace plindor::win32 {
namespace {

constexpr UINT_PTR kDrawCaption = 3;

void Paint(HWND box, HDC dc) {
  // The parent sets the caption's colours on the DC and gives the background's brush.
  auto background = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(box), WM_CTLCOLORSTATIC,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(box)));
  if (background == nullptr) background = ::GetSysColorBrush(COLOR_BTNFACE);
  const HGDIOBJ old_font =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(box, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);

  RECT client{};
  ::GetClientRect(box, &client);
  RECT frame = client;
  frame.top += metrics.tmHeight / 2;
  ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);

  const std::wstring caption = TextOf(box);
  if (!caption.empty()) {
    const int indent = ScaledPixels(8, ::GetDpiForWindow(box));
    const int pad = indent / 4;
    RECT text{client.left + indent, client.top, client.right - indent, client.top};
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    if (text.right > client.right - indent) text.right = client.right - indent;
    // The gap in the frame's edge that the caption sits in.
    const RECT gap{text.left - pad, text.top, text.right + pad, text.bottom};
    ::FillRect(dc, &gap, background);
    ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  ::SelectObject(dc, old_font);
}

LRESULT CALLBACK DrawCaption(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR /*id*/,
                             DWORD_PTR /*data*/) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(box, &paint);
      Paint(box, dc);
      ::EndPaint(box, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(box, reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_ENABLE: {
      // The standard control may draw right away, in its own colours: draw over it.
      const LRESULT result = ::DefSubclassProc(box, message, wparam, lparam);
      ::InvalidateRect(box, nullptr, TRUE);
      return result;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(box, DrawCaption, kDrawCaption);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(box, message, wparam, lparam);
}

}  // namespace

void DrawCaptionItself(HWND group_box) {
  ::SetWindowSubclass(group_box, DrawCaption, kDrawCaption, 0);
}

}  // namespace plindor::win32
