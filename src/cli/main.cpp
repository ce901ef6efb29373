#include <iostream>

#include "cli/command_line.h"
#include "cli/project_runner.h"

int main(int argc, char** argv) {
  const plindor::cli::CommandLine command_line =
      plindor::cli::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (!command_line.options) return command_line.exit_status;
  return plindor::cli::RunBatch(*command_line.options, std::cout, std::cerr);
}
