#pragma once

namespace plindor::win32 {

// The windows are laid out in twips, 1/1440 inch: 15 twips are one pixel at 96 dpi.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;

// Left, top, width and height in twips.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Pixels at `dpi`, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, unsigned dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : -((-scaled + half) / kTwipsPerInch));
}

// A length given in pixels at 96 dpi (a control's edge, a frame's indent) in pixels at `dpi`,
// rounded to the nearest pixel.
constexpr int ScaledPixels(int pixels, unsigned dpi) {
  return TwipsToPixels(pixels * (kTwipsPerInch / kDefaultDpi), dpi);
}

// A font's height in pixels for its size in points at `dpi`, rounded to the nearest pixel.
constexpr int PointsToPixels(double points, unsigned dpi) {
  return static_cast<int>(points * dpi / 72.0 + 0.5);
}

}  // namespace plindor::win32
