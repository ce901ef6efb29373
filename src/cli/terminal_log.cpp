#include "cli/terminal_log.h"

#include "cli/terminal_text.h"

namespace plindor::cli {

void TerminalLog::Append(std::string_view text) {
  // The engine hands over whole lines ending in CR LF, as the window's log box wants.
  if (text.ends_with("\r\n")) {
    text.remove_suffix(2);
  } else if (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  Line(text);
}

void TerminalLog::Line(std::string_view line) {
  const std::string shown = ForTerminal(line) + "\n";
  if (hold_) {
    held_ += shown;
  } else {
    out_ << shown << std::flush;
  }
}

void TerminalLog::ShowHeld() {
  failures_ << held_ << std::flush;
  held_.clear();
}

}  // namespace plindor::cli
