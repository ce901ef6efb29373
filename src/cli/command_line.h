#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "repair/code_page.h"

namespace plindor::cli {

struct Options {
  std::vector<std::string> paths;
  bool recursive = false;
  bool dry_run = false;
  bool diff = false;
  bool check = false;
  bool quiet = false;
  unsigned code_page = repair::kDefaultCodePage;  // of component names that are not UTF-8
};

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Either the options to run with, or the exit status when the command line settled the run by
// itself (help, version, usage error; their text is already written).
struct CommandLine {
  std::optional<Options> options;
  int exit_status = kExitSuccess;
};

// Help and version go to `out`, usage errors to `err`.
CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err);

}  // namespace plindor::cli
