#pragma once

#include <stdexcept>
#include <string>

namespace plindor::repair {

// The one failure the engine raises. Its message is meant for the user as it stands: what
// failed, the path as the project gave it, and the system's reason.
class RepairError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace plindor::repair
