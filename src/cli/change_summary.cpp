#include "cli/change_summary.h"

#include <span>
#include <string_view>

namespace plindor::cli {

namespace {

void Add(std::span<std::size_t> total, std::span<const std::size_t> more) {
  for (std::size_t i = 0; i < total.size(); ++i) total[i] += more[i];
}

// "project rules 1 x1, 3 x2", or nothing when no rule of the table matched.
std::string FormatCounts(std::string_view table, std::span<const std::size_t> counts) {
  std::string text;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] == 0) continue;
    text += text.empty() ? std::string(table) + " rules " : std::string(", ");
    text += std::to_string(i + 1) + " x" + std::to_string(counts[i]);
  }
  return text;
}

}  // namespace

std::vector<FileChange> SummarizeChanges(const DryRunFileSystem& files) {
  std::vector<FileChange> changes;
  for (const CapturedFile& file : files.files()) {
    changes.push_back({file.path, file.original != file.repaired, {}, {}});
  }
  bool first = true;
  for (const CapturedWrite& write : files.writes()) {
    FileChange& change = changes[write.file];
    if (first) {
      decltype(FileChange::project_counts) counts{};
      (void)repair::ApplyRules(write.before, repair::kProjectRules, counts);
      Add(change.project_counts, counts);
    } else {
      decltype(FileChange::component_counts) counts{};
      (void)repair::ApplyRules(write.before, repair::kComponentRules, counts);
      Add(change.component_counts, counts);
    }
    first = false;
  }
  return changes;
}

std::string FormatChange(const FileChange& change) {
  if (!change.changed) return "Unchanged: " + change.path;
  std::string counts = FormatCounts("project", change.project_counts);
  const std::string component = FormatCounts("component", change.component_counts);
  if (!counts.empty() && !component.empty()) counts += "; ";
  counts += component;
  return "Would change " + change.path + ": " + counts;
}

}  // namespace plindor::cli
