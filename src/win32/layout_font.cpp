#include "win32/layout_font.h"

#include <cwchar>
#include <stdexcept>

#include "win32/twips.h"

namespace plindor::win32 {
namespace {

struct Candidate {
  const wchar_t* face;
  // Whether a face the system draws in its place will do (a metric-compatible substitute).
  bool substitute_will_do;
};

// In order of likeness to the layout's face.
constexpr Candidate kCandidates[] = {
    {L"MS Sans Serif", false},
    {L"Microsoft Sans Serif", false},
    {L"Tahoma", false},
    {L"Arial", true},
};

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

// Whether the font draws in the asked face (or a stand-in, where that will do), at the asked
// character height and weight.
bool DrawsAsAsked(HDC dc, const Candidate& candidate, int pixels, bool bold) {
  wchar_t drawn[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, drawn);
  TEXTMETRICW metrics{};
  if (!::GetTextMetricsW(dc, &metrics)) return false;
  return (candidate.substitute_will_do || ::_wcsicmp(drawn, candidate.face) == 0) &&
         metrics.tmHeight - metrics.tmInternalLeading == pixels &&
         (metrics.tmWeight >= FW_SEMIBOLD) == bold;
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
      if (!DrawsAsAsked(dc.get(), candidate, pixels, font.bold)) continue;
      fits = !fit || TextFits(dc.get(), *fit);
    }
    if (fits) return made;
    if (!first) first = std::move(made);
  }
  if (first) return first;
  // Nothing draws as asked: the system's nearest match to the layout's face.
  return Create(kCandidates[0].face, pixels, font.bold);
}

}  // namespace plindor::win32
