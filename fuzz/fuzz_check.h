#pragma once

#include <cstdio>
#include <cstdlib>

namespace plindor::fuzz {

// Stops the run with a finding: libFuzzer saves the input that got here.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace plindor::fuzz
