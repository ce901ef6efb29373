#include "qt/font_config_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace plindor::qt {
namespace {

void ReadFontConfiguration() {
  // At the program's own priority: the start waits for this thread, and on a busy machine a
  // thread of lowered priority would keep the first window waiting for as long as the machine
  // stays busy. A failure here is not reported: the toolkit reads the configuration again, and
  // reports it.
  FcInit();
}

}  // namespace

FontConfigWarmUp::FontConfigWarmUp() : thread_(ReadFontConfiguration) {}

FontConfigWarmUp::~FontConfigWarmUp() { Wait(); }

void FontConfigWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace plindor::qt
