#pragma once

#include <windows.h>

#include <string_view>

#include "repair/progress_log.h"

namespace plindor::win32 {

// Shows the repair's progress in a multi-line edit box the user may also edit. Each text goes at
// the end of whatever the box holds. The box is repainted at once, because a run never returns
// to the message loop until it is over, and it scrolls to its last line while the caret and any
// selection stay where the user left them.
class EditBoxLog final : public repair::ProgressLog {
 public:
  explicit EditBoxLog(HWND box) : box_(box) {}
  EditBoxLog(const EditBoxLog&) = delete;
  EditBoxLog& operator=(const EditBoxLog&) = delete;

  void Append(std::string_view text) override;
  void Clear();

 private:
  HWND box_;
};

}  // namespace plindor::win32
