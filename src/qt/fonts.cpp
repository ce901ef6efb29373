#include "qt/fonts.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <memory>

namespace plindor::qt {

namespace {

struct PatternDestroyer {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDestroyer>;

// The face fontconfig offers in place of Arial as one of the same metrics: a family its
// configuration lists for Arial ahead of the generic sans-serif fallbacks. Empty when there is
// none (the match would be a fallback of other metrics, which clips the captions).
QString MetricCompatibleFamily() {
  Pattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>("Arial")));
  if (!pattern || !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) return {};
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* matched = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &matched) != FcResultMatch) {
    return {};
  }
  FcChar8* family = nullptr;
  for (int i = 0; FcPatternGetString(pattern.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>("sans-serif")) == 0) break;
    if (FcStrCmpIgnoreCase(family, matched) == 0) {
      return QString::fromUtf8(reinterpret_cast<const char*>(matched));
    }
  }
  return {};
}

QString InstalledLayoutFontFamily() {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family :
       {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")}) {
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  }
  // The font database lists real families only, never an alias such as Arial: fontconfig
  // knows which installed face stands in for it.
  const QString compatible = MetricCompatibleFamily();
  return compatible.isEmpty() ? QStringLiteral("MS Sans Serif") : compatible;
}

}  // namespace

QString LayoutFontFamily() {
  // The toolkit reads the installed fonts once, so the answer never changes.
  static const QString family = InstalledLayoutFontFamily();
  return family;
}

QFont LayoutFont(qreal points, bool bold) {
  QFont font(LayoutFontFamily());
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace plindor::qt
