#include "cli/terminal_log.h"

#include "desktop/fixup_run.h"

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
  Line(desktop::kFixupCompleted);
  held_.clear();
}

void TerminalLog::Fail(std::string_view message) {
  failures_ << held_ << desktop::kErrorPrefix << message << "\n"
            << desktop::kFixupStopped << "\n"
            << std::flush;
  held_.clear();
}

}  // namespace plindor::cli
