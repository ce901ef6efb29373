#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#endif

#include "cli/command_line.h"
#include "cli/project_runner.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes on every system. Text mode would turn the CRLF line ends a diff quotes from
  // the files into CR CR LF, and a patch made from it would no longer apply.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  const plindor::cli::CommandLine command_line =
      plindor::cli::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (!command_line.options) return command_line.exit_status;
  return plindor::cli::RunBatch(*command_line.options, std::cout, std::cerr);
}
