#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plindor::repair {

// The one failure the engine raises. Its message is meant for the user as it stands: what
// failed, the path as the project gave it, and the system's reason.
class RepairError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `path` in double quotes, as every message shows a file. A NUL becomes \0: it would end the
// message early wherever the message is shown as a C string.
std::string Quoted(std::string_view path);

// The one shape of every message: "<action> "<path>"[ <detail>]: <reason>", e.g.
// cannot open "Main.frm" for reading: No such file or directory
std::string Describe(std::string_view action, std::string_view path, std::string_view detail,
                     std::string_view reason);

// The reason for a file too large to be held in memory, `size` bytes long.
std::string TooLarge(std::uint64_t size);

// Raises Describe(...).
[[noreturn]] void FailOn(std::string_view action, std::string_view path, std::string_view detail,
                         std::string_view reason);
[[noreturn]] inline void FailOn(std::string_view action, std::string_view path,
                                std::string_view reason) {
  FailOn(action, path, {}, reason);
}

}  // namespace plindor::repair
