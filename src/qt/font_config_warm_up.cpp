#include "qt/font_config_warm_up.h"

#include <fontconfig/fontconfig.h>
#include <sys/resource.h>
#include <unistd.h>

namespace plindor::qt {
namespace {

void ReadFontConfiguration() {
  // At the lowest priority, the thread runs while the toolkit waits on the display server and
  // takes no time from the toolkit's own start on a busy machine.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  // A failure here is not reported: the toolkit reads the configuration again, and reports it.
  FcInit();
}

}  // namespace

FontConfigWarmUp::FontConfigWarmUp() : thread_(ReadFontConfiguration) {}

FontConfigWarmUp::~FontConfigWarmUp() { Wait(); }

void FontConfigWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace plindor::qt
