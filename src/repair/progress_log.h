#pragma once

#include <string_view>

namespace plindor::repair {

// Where the repair reports what it is doing. Writers only ever append at the end; the caller
// adds its own line ends.
class ProgressLog {
 public:
  virtual ~ProgressLog() = default;
  virtual void Append(std::string_view text) = 0;
};

}  // namespace plindor::repair
