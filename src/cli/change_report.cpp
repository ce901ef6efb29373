#include "cli/change_report.h"

namespace plindor::cli {

void ChangeRecorder::OnFile(const repair::FileReport& report) {
  if (report.outcome == repair::FileOutcome::kFailed) return;
  FileChange& change = changes_.emplace_back();
  change.path = report.path;
  change.location = report.location;
  change.role = report.role;
  change.counts.assign(report.counts.begin(), report.counts.end());
  change.changed = report.outcome == repair::FileOutcome::kChanged;
  if (keep_texts_ && change.changed) {
    change.before = report.before;
    change.after = report.after;
  }
}

std::string FormatChange(const FileChange& change) {
  if (!change.changed) return "Unchanged: " + change.path;
  std::string text = "Would change " + change.path + ": ";
  text += change.role == repair::FileRole::kProject ? "project rules " : "component rules ";
  bool first = true;
  for (std::size_t i = 0; i < change.counts.size(); ++i) {
    if (change.counts[i] == 0) continue;
    if (!first) text += ", ";
    text += std::to_string(i + 1) + " x" + std::to_string(change.counts[i]);
    first = false;
  }
  return text;
}

}  // namespace plindor::cli
