#pragma once

#include <QString>
#include <string_view>

#include "repair/progress_log.h"

class QPlainTextEdit;

namespace plindor::qt {

// Shows the repair's progress in a multi-line box the user may also edit. Each text goes at the
// end of whatever the box holds; a line end (CR LF, or LF) starts a new line in the box. The
// box is repainted at once, because a run never returns to the event loop until it is over,
// and it scrolls to its last line, while the caret and any selection stay where the user left
// them.
class TextBoxLog final : public repair::ProgressLog {
 public:
  explicit TextBoxLog(QPlainTextEdit& box) : box_(box) {}
  TextBoxLog(const TextBoxLog&) = delete;
  TextBoxLog& operator=(const TextBoxLog&) = delete;

  void Append(std::string_view text) override;
  void Clear();

 private:
  QPlainTextEdit& box_;
};

// The engine's texts are bytes: paths from the dialog (in the system's 8-bit encoding, UTF-8
// here) and paths copied out of project files, which often come from a Windows code page.
// Valid UTF-8 is shown as such; anything else byte for byte as Latin-1, so no byte is lost
// or replaced by a placeholder.
QString DecodeLogText(std::string_view text);

}  // namespace plindor::qt
