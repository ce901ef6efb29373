#pragma once

#include <thread>

namespace plindor::qt {

// Reads the system's font configuration (fontconfig) on a thread of its own. The toolkit reads it
// the first time a window needs a font, a few milliseconds of parsing that would otherwise add
// to the time before the first window appears; started before the application object, it runs
// while the toolkit connects to the display. Wait before any window is created; the thread
// runs at the program's priority, since it is waited for.
class FontConfigWarmUp final {
 public:
  FontConfigWarmUp();
  ~FontConfigWarmUp();
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

  void Wait();

 private:
  std::thread thread_;
};

}  // namespace plindor::qt
