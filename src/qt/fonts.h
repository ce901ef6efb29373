#pragma once

namespace plindor::qt {

// The windows are laid out for "MS Sans Serif". Where it is missing, a font with close metrics
// keeps every caption inside its control; the usual fallback is wider and clips them.
void InstallFontSubstitutions();

}  // namespace plindor::qt
