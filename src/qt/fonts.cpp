#include "qt/fonts.h"

#include <QFont>
#include <QStringList>

namespace plindor::qt {

void InstallFontSubstitutions() {
  QFont::insertSubstitutions(
      QStringLiteral("MS Sans Serif"),
      QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

}  // namespace plindor::qt
