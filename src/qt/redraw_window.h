#pragma once

class QWidget;

namespace plindor::qt {

// Draws a shown window whole on the screen at once, for code that keeps the event loop waiting.
// Whatever has changed is painted, and all of the window goes to the screen: a plain repaint
// leaves out the controls that fill their own background and have not changed, so that the
// pixels of a window that was over them and has gone would stay there.
void RedrawWindow(QWidget& window);

}  // namespace plindor::qt
