#include <csignal>

#include "cli/process_setup.h"

namespace plindor::cli {

ProcessSetup::ProcessSetup(int argc, char** argv) : arguments_(argv, argv + argc) {
  // `plindor-cli -r tree | head` must not be killed between two projects, or inside one.
  std::signal(SIGPIPE, SIG_IGN);
}

ProcessSetup::~ProcessSetup() = default;

}  // namespace plindor::cli
