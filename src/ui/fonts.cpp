#include "ui/fonts.h"

#include <QFont>

namespace plindor::ui {

void InstallFontSubstitutions() {
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

}  // namespace plindor::ui
