// What every window built from a layout table keeps at 96, 144 and 192 dpi: each control inside
// its parent, each text whole in its box, the layout's size with bold kept, the table's tab order
// and the colours the table gives. The expectations come from the table, never a copy of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "win32/form1.h"
#include "win32/form2.h"
#include "win32/twips.h"
#include "window_queries.h"

namespace plindor::win32 {
namespace {

// One of the two windows, shown, behind one face.
struct Shown {
  std::shared_ptr<void> owner;
  HWND hwnd;
  std::function<HWND(std::string_view)> control;
  const WindowTable* table;
};

Shown Show(std::string_view which) {
  if (which == "main") {
    auto form = std::make_shared<Form1>(::GetModuleHandleW(nullptr), [] {});
    form->Show();
    return {form, form->hwnd(), [form](std::string_view n) { return form->Control(n); },
            &form->Table()};
  }
  auto form = std::make_shared<Form2>(
      ::GetModuleHandleW(nullptr), [] {}, [] {});
  form->Show();
  return {form, form->hwnd(), [form](std::string_view n) { return form->Control(n); },
          &form->Table()};
}

// Moves the window to a monitor of `dpi`, the way the system tells it.
void MoveToDpi(HWND window, const WindowTable& table, UINT dpi) {
  RECT frame{0, 0, TwipsToPixels(table.place.width, dpi), TwipsToPixels(table.place.height, dpi)};
  ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)),
                             FALSE, static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)),
                             dpi);
  ::OffsetRect(&frame, -frame.left, -frame.top);
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
}

RECT ClientRectIn(HWND control, HWND relative_to) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, relative_to, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The metrics of the font the control really draws with.
struct Drawn {
  TEXTMETRICW metrics{};
  std::wstring face;
  int CharacterHeight() const { return metrics.tmHeight - metrics.tmInternalLeading; }
};

Drawn DrawnFont(HWND control) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  Drawn drawn;
  ::GetTextMetricsW(dc, &drawn.metrics);
  drawn.face = testing::DrawnFace(control);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return drawn;
}

// The room the control's text needs, measured in its own font, wrapped at its width or not.
SIZE Needed(HWND control, bool wraps) {
  RECT client{};
  ::GetClientRect(control, &client);
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  const std::wstring text = TextOf(control);
  RECT needed{0, 0, client.right, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return {needed.right, needed.bottom};
}

// How many pixels of the control, drawn by itself into a bitmap, have `colour`.
int PixelsOf(HWND control, COLORREF colour) {
  RECT client{};
  ::GetClientRect(control, &client);
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  int count = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) count += ::GetPixel(dc, x, y) == colour ? 1 : 0;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return count;
}

// How much ink `text` in `font` takes, drawn black on white: its pixels' darkness, summed.
int InkOf(const LOGFONTW& look, std::wstring_view text) {
  HFONT font = ::CreateFontIndirectW(&look);
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 600, 80);
  HGDIOBJ old_bitmap = ::SelectObject(dc, bitmap);
  HGDIOBJ old_font = ::SelectObject(dc, font);
  RECT all{0, 0, 600, 80};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::TextOutW(dc, 0, 0, text.data(), static_cast<int>(text.size()));
  int ink = 0;
  for (int y = 0; y < all.bottom; ++y) {
    for (int x = 0; x < all.right; ++x) ink += 255 - GetRValue(::GetPixel(dc, x, y));
  }
  ::SelectObject(dc, old_font);
  ::SelectObject(dc, old_bitmap);
  ::DeleteObject(bitmap);
  ::DeleteObject(font);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return ink;
}

class LayoutTest : public ::testing::TestWithParam<std::tuple<const char*, UINT>> {
 protected:
  LayoutTest() : window_(Show(std::get<0>(GetParam()))), dpi_(std::get<1>(GetParam())) {
    if (dpi_ != ::GetDpiForWindow(window_.hwnd)) MoveToDpi(window_.hwnd, *window_.table, dpi_);
  }
  HWND Control(const ControlRow& row) const { return window_.control(row.name); }
  const WindowTable& Table() const { return *window_.table; }
  int Scaled(int pixels) const { return ScaledPixels(pixels, dpi_); }

  Shown window_;
  UINT dpi_;
};

TEST_P(LayoutTest, EveryControlLiesInsideItsParent) {
  RECT client{};
  ::GetClientRect(window_.hwnd, &client);
  for (const ControlRow& row : Table().controls) {
    const RECT at = ClientRectIn(Control(row), window_.hwnd);
    EXPECT_TRUE(Inside(at, client)) << row.name;
    if (row.inside == nullptr) continue;
    // Clear of the frame's edges and below its caption.
    HWND frame = window_.control(row.inside);
    RECT inner = ClientRectIn(frame, window_.hwnd);
    ::InflateRect(&inner, -Scaled(2), -Scaled(2));
    inner.top += DrawnFont(frame).metrics.tmHeight - Scaled(2);
    EXPECT_TRUE(Inside(at, inner)) << row.name << " in " << row.inside;
  }
}

TEST_P(LayoutTest, EveryTextFitsItsBox) {
  for (const ControlRow& row : Table().controls) {
    HWND control = Control(row);
    RECT box{};
    ::GetClientRect(control, &box);
    switch (row.kind) {
      case ControlKind::kLabel: {
        const SIZE needed = Needed(control, true);
        EXPECT_LE(needed.cx, box.right) << row.name;
        EXPECT_LE(needed.cy, box.bottom) << row.name << " needs " << needed.cy << " px";
        break;
      }
      case ControlKind::kPushButton:
      case ControlKind::kGroupBox: {
        // Within the edges on both sides.
        const SIZE needed = Needed(control, false);
        EXPECT_LE(needed.cx, box.right - 2 * Scaled(4)) << row.name;
        EXPECT_LE(needed.cy, box.bottom) << row.name;
        break;
      }
      default:
        break;
    }
  }
}

TEST_P(LayoutTest, TextsHaveTheLayoutsSizeAndWeightAtThisDpi) {
  for (const ControlRow& row : Table().controls) {
    if (row.kind == ControlKind::kPicture || row.kind == ControlKind::kDrawing) continue;
    const Drawn drawn = DrawnFont(Control(row));
    // To a pixel: a scalable face's rounding may add one.
    EXPECT_NEAR(drawn.CharacterHeight(), PointsToPixels(row.font.points, dpi_), 1)
        << row.name << " in " << std::string(drawn.face.begin(), drawn.face.end());
    EXPECT_EQ(drawn.metrics.tmWeight >= FW_SEMIBOLD, row.font.bold) << row.name;
    if (row.font.bold) {
      // Bold to the eye too: markedly more ink than the same face's regular weight.
      LOGFONTW look = testing::FontOf(Control(row));
      const int bold_ink = InkOf(look, L"Find It and Fix It!");
      look.lfWeight = FW_NORMAL;
      const int regular_ink = InkOf(look, L"Find It and Fix It!");
      EXPECT_GT(bold_ink * 100, regular_ink * 110)
          << row.name << " in " << std::string(drawn.face.begin(), drawn.face.end()) << ": "
          << bold_ink << " of ink, " << regular_ink << " in the regular weight";
    }
    // The bitmap face has no sizes past 96 dpi's: it would draw the text too small.
    if (dpi_ > 96) {
      EXPECT_NE(drawn.face, L"MS Sans Serif") << row.name;
    }
    // At 96 dpi the buttons keep the layout's own face.
    if (dpi_ == 96 && row.kind == ControlKind::kPushButton) {
      EXPECT_EQ(drawn.face, L"MS Sans Serif") << row.name;
    }
  }
}

TEST_P(LayoutTest, LargerPointSizesDrawLarger) {
  for (const ControlRow& a : Table().controls) {
    for (const ControlRow& b : Table().controls) {
      if (a.kind == ControlKind::kPicture || b.kind == ControlKind::kPicture ||
          a.kind == ControlKind::kDrawing || b.kind == ControlKind::kDrawing ||
          a.font.points <= b.font.points) {
        continue;
      }
      EXPECT_GT(DrawnFont(Control(a)).CharacterHeight(), DrawnFont(Control(b)).CharacterHeight())
          << a.name << " against " << b.name;
    }
  }
}

TEST_P(LayoutTest, TabOrderFollowsTheTableFromTheFirstFocus) {
  std::vector<HWND> stops;
  for (const ControlRow& row : Table().controls) {
    if (row.kind == ControlKind::kPushButton || row.kind == ControlKind::kTextBox) {
      stops.push_back(Control(row));
    }
  }
  ASSERT_FALSE(stops.empty());
  EXPECT_EQ(testing::TabOrder(window_.hwnd), stops);
  EXPECT_EQ(::GetFocus(), stops.front());
}

TEST_P(LayoutTest, CaptionsHaveTheTablesColours) {
  for (const ControlRow& row : Table().controls) {
    if (row.kind == ControlKind::kTextBox) continue;
    const COLORREF expected = row.text_colour.value_or(::GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(testing::TextColourOf(window_.hwnd, Control(row)), expected) << row.name;
    // A frame's caption is drawn in it, whatever the theme.
    if (row.kind == ControlKind::kGroupBox) {
      EXPECT_GT(PixelsOf(Control(row), expected), Scaled(20)) << row.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AtEachDpi, LayoutTest,
                         ::testing::Combine(::testing::Values("main", "terms"),
                                            ::testing::Values(96u, 144u, 192u)),
                         [](const auto& param) {
                           return std::string(std::get<0>(param.param)) + "_" +
                                  std::to_string(std::get<1>(param.param));
                         });

}  // namespace
}  // namespace plindor::win32
