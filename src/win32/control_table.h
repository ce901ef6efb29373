#pragma once

#include <windows.h>

#include <optional>
#include <span>

#include "win32/twips.h"

namespace plindor::win32 {

enum class ControlKind {
  kPushButton,
  kGroupBox,
  kLabel,
  kTextBox,  // multi-line, vertical scroll bar, lines wrap at the box's width
  kPicture,  // a bitmap resource stretched to the box
  kDrawing,  // an enhanced metafile resource at its own size, cut at the box's edges
};

struct FontChoice {
  double points = 8.25;
  bool bold = false;
};

// One control of a window, as the window's layout gives it.
struct ControlRow {
  const char* name = "";
  int id = 0;
  ControlKind kind = ControlKind::kLabel;
  // Relative to the client area, or to the control named by `inside`.
  TwipsRect place;
  const char* caption = "";  // UTF-8
  FontChoice font;
  std::optional<COLORREF> text_colour;
  const char* inside = nullptr;
  int resource = 0;  // kPicture and kDrawing
  DWORD extra_style = 0;
};

// A window: its frame, where it goes, its client area's size and its controls in tab order.
struct WindowTable {
  const char* title = "";  // UTF-8
  DWORD style = 0;
  DWORD ex_style = 0;
  // Left and top of the window on the screen; width and height of its client area.
  TwipsRect place;
  int background = COLOR_WINDOW;  // a system colour index
  std::span<const ControlRow> controls;
};

}  // namespace plindor::win32
