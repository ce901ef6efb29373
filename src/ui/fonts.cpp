#include "ui/fonts.h"

#include <QFont>
#include <QStringList>

namespace plindor::ui {

void InstallFontSubstitutions() {
  QFont::insertSubstitutions(
      QStringLiteral("MS Sans Serif"),
      QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

}  // namespace plindor::ui
