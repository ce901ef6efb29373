#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/process_setup.h"
#include "cli/project_runner.h"
#include "repair/code_page.h"
#include "repair/deferred_termination.h"

int main(int argc, char** argv) {
  plindor::repair::GuardTermination();
  const plindor::cli::ProcessSetup process(argc, argv);
  std::vector<const char*> arguments;
  for (const std::string& argument : process.arguments()) arguments.push_back(argument.c_str());
  const plindor::cli::CommandLine command_line = plindor::cli::ParseCommandLine(
      static_cast<int>(arguments.size()), arguments.data(), std::cout, std::cerr);
  if (!command_line.options) return command_line.exit_status;
#ifndef _WIN32
  plindor::repair::SetNameCodePage(command_line.options->code_page);
#endif
  return plindor::cli::RunBatch(*command_line.options, std::cout, std::cerr);
}
