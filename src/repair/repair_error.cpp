#include "repair/repair_error.h"

namespace plindor::repair {

std::string Quoted(std::string_view path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '\0') {
      quoted += "\\0";
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

void FailOn(std::string_view action, std::string_view path, std::string_view detail,
            std::string_view reason) {
  std::string message(action);
  message.append(" ").append(Quoted(path));
  if (!detail.empty()) message.append(" ").append(detail);
  message.append(": ").append(reason);
  throw RepairError(message);
}

}  // namespace plindor::repair
