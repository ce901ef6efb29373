#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "repair/progress_log.h"

namespace plindor::cli {

// The progress of one project on a terminal. The engine ends its lines in CR LF, as the window's
// log box wants; here they end in LF alone, as terminals and pipes want, and control characters
// in them are escaped (see ForTerminal). A held log shows nothing unless the project fails, and
// then shows everything (for --quiet and --diff).
class TerminalLog final : public repair::ProgressLog {
 public:
  // Lines go to `out`; a failure and the lines held before it go to `failures`.
  TerminalLog(std::ostream& out, std::ostream& failures, bool hold)
      : out_(out), failures_(failures), hold_(hold) {}
  TerminalLog(const TerminalLog&) = delete;
  TerminalLog& operator=(const TerminalLog&) = delete;

  // Takes one whole line.
  void Append(std::string_view text) override;
  // Writes `line` and a line end.
  void Line(std::string_view line);
  // Closes a project that was repaired: "Fixup completed.".
  void Complete();
  // Closes a project that failed: the held lines, "Error: <message>", "Fixup stopped.".
  void Fail(std::string_view message);

 private:
  std::ostream& out_;
  std::ostream& failures_;
  bool hold_;
  std::string held_;
};

}  // namespace plindor::cli
