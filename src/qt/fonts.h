#pragma once

#include <QFont>
#include <QString>

namespace plindor::qt {

// The family the windows' captions are set in. They are laid out for "MS Sans Serif"; where it is
// missing, a font with close metrics keeps every caption inside its control (the usual fallback
// is wider and clips them), and where none of those is installed either, the toolkit falls back
// as usual. Asking for an installed family by its name spares the toolkit a search of
// fontconfig's fallbacks for a missing one, which costs milliseconds at start-up, the more the
// more fonts a system has. Needs the application object.
QString LayoutFontFamily();

// A font of the windows' layout, in points (Designer files hold whole point sizes only).
QFont LayoutFont(qreal points, bool bold);

}  // namespace plindor::qt
