#pragma once

#include <string_view>

namespace plindor::repair {

// A fixed substitution: every occurrence of `find` (ASCII letter case ignored) becomes
// `replacement`.
struct Rule {
  std::string_view find;
  std::string_view replacement;
};

}  // namespace plindor::repair
