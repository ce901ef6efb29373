#include "win32/layout_font.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <map>
#include <stdexcept>
#include <tuple>

#include "win32/twips.h"

namespace plindor::win32 {
namespace {

struct Candidate {
  const wchar_t* face;
  // How far its character height may be from the asked one: a scalable face's rounding may add
  // a pixel; the bitmap face's nearest size is no match.
  int slack;
  // Whether a face the system draws in its place will do (a metric-compatible substitute).
  bool substitute_will_do;
};

// In order of likeness to the layout's face.
constexpr Candidate kCandidates[] = {
    {L"MS Sans Serif", 0, false},
    {L"Microsoft Sans Serif", 1, false},
    {L"Tahoma", 1, false},
    {L"Arial", 1, true},
};

// How much more ink a bold text takes than the regular one, at least, in percent.
constexpr int kBoldInkPercent = 110;

// A screen-compatible memory DC, released on every path.
class MeasuringDc final {
 public:
  MeasuringDc() : dc_(::CreateCompatibleDC(nullptr)) {
    if (dc_ == nullptr) throw std::runtime_error("cannot create a device context to measure text");
  }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;
  ~MeasuringDc() { ::DeleteDC(dc_); }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a font into a DC for one measurement.
class Selected final {
 public:
  Selected(HDC dc, HFONT font) : dc_(dc), old_(::SelectObject(dc, font)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() { ::SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

UniqueFont Create(const wchar_t* face, int pixels, bool bold) {
  LOGFONTW look{};
  look.lfHeight = -pixels;
  look.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  look.lfCharSet = DEFAULT_CHARSET;
  look.lfQuality = DEFAULT_QUALITY;
  std::wcsncpy(look.lfFaceName, face, LF_FACESIZE - 1);
  UniqueFont made(::CreateFontIndirectW(&look));
  if (!made) throw std::runtime_error("cannot create the windows' font");
  return made;
}

// How much ink a sample text in `font` takes: the darkness of its pixels, summed.
int InkOf(HFONT font) {
  constexpr wchar_t kSample[] = L"Find It and Fix It!";
  constexpr int kWidth = 400;
  constexpr int kHeight = 64;
  MeasuringDc dc;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = kWidth;
  format.bmiHeader.biHeight = -kHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  UniqueBitmap canvas(::CreateDIBSection(dc.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!canvas || bits == nullptr) return 0;
  const HGDIOBJ old_bitmap = ::SelectObject(dc.get(), canvas.get());
  int ink = 0;
  {
    Selected selected(dc.get(), font);
    RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetTextColor(dc.get(), RGB(0, 0, 0));
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::TextOutW(dc.get(), 0, 0, kSample, static_cast<int>(std::size(kSample)) - 1);
    ::GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i) ink += 0xFF - static_cast<int>(pixels[i] & 0xFF);
  }
  ::SelectObject(dc.get(), old_bitmap);
  return ink;
}

// Whether the font draws in the asked face (or a stand-in, where that will do), at the asked
// character height and weight. A face's bold
// must also look bold: some bold faces are little more than their regular face spaced wider.
bool DrawsAsAsked(HDC dc, HFONT font, const Candidate& candidate, int pixels, bool bold) {
  wchar_t drawn[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, drawn);
  TEXTMETRICW metrics{};
  if (!::GetTextMetricsW(dc, &metrics)) return false;
  if ((!candidate.substitute_will_do && ::_wcsicmp(drawn, candidate.face) != 0) ||
      std::abs(metrics.tmHeight - metrics.tmInternalLeading - pixels) > candidate.slack ||
      (metrics.tmWeight >= FW_SEMIBOLD) != bold) {
    return false;
  }
  if (!bold) return true;
  const UniqueFont regular = Create(candidate.face, pixels, false);
  return InkOf(font) * 100 >= InkOf(regular.get()) * kBoldInkPercent;
}

// DrawsAsAsked, worked out once per face, size and weight: the windows ask the same few many
// times, and the program's start waits for every answer. The windows live on one thread.
bool DrawsAsAskedOnce(HDC dc, HFONT font, const Candidate& candidate, int pixels, bool bold) {
  static std::map<std::tuple<const wchar_t*, int, bool>, bool> known;
  const auto key = std::make_tuple(candidate.face, pixels, bold);
  const auto found = known.find(key);
  if (found != known.end()) return found->second;
  const bool answer = DrawsAsAsked(dc, font, candidate, pixels, bold);
  known.emplace(key, answer);
  return answer;
}

}  // namespace

bool TextFits(HDC dc, const TextToFit& fit) {
  RECT needed{0, 0, fit.room.cx, 0};
  const UINT format =
      DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (fit.wraps ? DT_WORDBREAK : DT_SINGLELINE);
  ::DrawTextW(dc, fit.text.data(), static_cast<int>(fit.text.size()), &needed, format);
  return needed.right <= fit.room.cx && needed.bottom <= fit.room.cy;
}

UniqueFont MakeLayoutFont(const FontChoice& font, UINT dpi, const std::optional<TextToFit>& fit) {
  const int pixels = PointsToPixels(font.points, dpi);
  MeasuringDc dc;
  UniqueFont first;
  for (const Candidate& candidate : kCandidates) {
    UniqueFont made = Create(candidate.face, pixels, font.bold);
    bool fits = false;
    {
      Selected selected(dc.get(), made.get());
      if (!DrawsAsAskedOnce(dc.get(), made.get(), candidate, pixels, font.bold)) continue;
      fits = !fit || TextFits(dc.get(), *fit);
    }
    if (fits) return made;
    if (!first) first = std::move(made);
  }
  if (first) return first;
  // Nothing draws as asked: the last, a face any system has.
  return Create(std::end(kCandidates)[-1].face, pixels, font.bold);
}

}  // namespace plindor::win32
