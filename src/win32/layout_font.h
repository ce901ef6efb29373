#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "win32/control_table.h"
#include "win32/gdi_handles.h"

namespace plindor::win32 {

// A text a control must show whole, and the room its box gives it in pixels.
struct TextToFit {
  std::wstring_view text;
  SIZE room{};
  bool wraps = false;  // broken into lines at the room's width, or one line
};

// A font of the layout's design, size and weight at `dpi`. The layout's own face, "MS Sans Serif",
// is a bitmap face with a few pixel sizes: it is kept where it draws at the asked size and weight,
// and elsewhere a scalable face of the same design stands in ("Microsoft Sans Serif" where
// installed, then Tahoma). When `fit` does not fit in that face, the next candidate that fits it
// is taken, "Arial" last; when none does, the first. Throws std::runtime_error when the system
// cannot make a font at all.
UniqueFont MakeLayoutFont(const FontChoice& font, UINT dpi, const std::optional<TextToFit>& fit);

// Whether `text` in the font selected into `dc` fits `fit.room`.
bool TextFits(HDC dc, const TextToFit& fit);

}  // namespace plindor::win32
