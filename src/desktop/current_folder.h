#pragma once

#include <string>

namespace plindor::desktop {

// Makes `folder` (an engine path) the current folder. Throws std::runtime_error naming it and
// the system's reason.
void MakeCurrentFolder(const std::string& folder);

}  // namespace plindor::desktop
