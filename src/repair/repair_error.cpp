#include "repair/repair_error.h"

namespace plindor::repair {

std::string Quoted(std::string_view path) {
  std::string quoted = "\"";
  for (const char c : path) quoted += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
  quoted += '"';
  return quoted;
}

std::string Describe(std::string_view action, std::string_view path, std::string_view detail,
                     std::string_view reason) {
  std::string message(action);
  message.append(" ").append(Quoted(path));
  if (!detail.empty()) message.append(" ").append(detail);
  message.append(": ").append(reason);
  return message;
}

std::string TooLarge(std::uint64_t size) {
  return "it is too large to hold in memory (" + std::to_string(size) + " bytes)";
}

void FailOn(std::string_view action, std::string_view path, std::string_view detail,
            std::string_view reason) {
  throw RepairError(Describe(action, path, detail, reason));
}

}  // namespace plindor::repair
