#include "qt/font_config_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace plindor::qt {

// A failure here is not reported: the toolkit reads the configuration again, and reports it.
FontConfigWarmUp::FontConfigWarmUp() : thread_([] { FcInit(); }) {}

FontConfigWarmUp::~FontConfigWarmUp() { Wait(); }

void FontConfigWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace plindor::qt
