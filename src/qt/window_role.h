#pragma once

namespace plindor::qt {

// Screen readers take a plain top-level widget for filler: the main window is announced as a
// window (a frame, to AT-SPI) instead. Call before the main window's first announcement; calls
// after the first do nothing.
void AnnounceMainWindowAsWindow();

}  // namespace plindor::qt
