#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "repair/progress_log.h"

namespace plindor::cli {

// The progress of one project on a terminal. The engine ends its lines in CR LF, as the window's
// log box wants; here they end in LF alone, as terminals and pipes want, and control characters
// in them are escaped (see ForTerminal). A held log shows nothing until it is asked to (for
// --quiet and --diff, which show a project's lines only when it fails).
class TerminalLog final : public repair::ProgressLog {
 public:
  // Lines go to `out`; held lines, when shown, to `failures`.
  TerminalLog(std::ostream& out, std::ostream& failures, bool hold)
      : out_(out), failures_(failures), hold_(hold) {}
  TerminalLog(const TerminalLog&) = delete;
  TerminalLog& operator=(const TerminalLog&) = delete;

  // Takes one whole line.
  void Append(std::string_view text) override;
  // Writes `line` and a line end.
  void Line(std::string_view line);
  // Shows the lines held so far.
  void ShowHeld();

 private:
  std::ostream& out_;
  std::ostream& failures_;
  bool hold_;
  std::string held_;
};

}  // namespace plindor::cli
