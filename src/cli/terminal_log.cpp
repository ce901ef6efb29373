#include "cli/terminal_log.h"

#include "repair/run_outcome.h"

namespace plindor::cli {

void TerminalLog::Append(std::string_view text) {
  std::string line(text);
  if (line.ends_with("\r\n")) line.erase(line.size() - 2, 1);
  if (hold_) {
    held_ += line;
  } else {
    out_ << line << std::flush;
  }
}

void TerminalLog::Line(std::string_view line) { Append(std::string(line) + "\n"); }

void TerminalLog::Complete() {
  Line(repair::kFixupCompleted);
  held_.clear();
}

void TerminalLog::Fail(std::string_view message) {
  failures_ << held_ << repair::kErrorPrefix << message << "\n"
            << repair::kFixupStopped << "\n"
            << std::flush;
  held_.clear();
}

}  // namespace plindor::cli
