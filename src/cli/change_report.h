#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "repair/repair_observer.h"

namespace plindor::cli {

// One file a run reached and repaired (or, in a preview, would have).
struct FileChange {
  std::string path;      // as the project named it
  std::string location;  // where it was found
  repair::FileRole role;
  std::vector<std::size_t> counts;  // per rule of its table
  bool changed = false;
  std::string before;  // the texts, when kept for a diff
  std::string after;
};

// Collects what the repair reports about each file it repaired, in order. Failed files are
// left out: the run's own failure line tells about them.
class ChangeRecorder final : public repair::RepairObserver {
 public:
  explicit ChangeRecorder(bool keep_texts) : keep_texts_(keep_texts) {}
  void OnFile(const repair::FileReport& report) override;
  const std::vector<FileChange>& changes() const { return changes_; }

 private:
  bool keep_texts_;
  std::vector<FileChange> changes_;
};

// "Would change <path>: component rules 1 x1, 2 x3" or "Unchanged: <path>", without a line end.
std::string FormatChange(const FileChange& change);

}  // namespace plindor::cli
