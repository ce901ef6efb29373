#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/disk_file_system.h"
#include "repair/file_system.h"

namespace plindor::testing {

// A form of exactly `size` bytes with an old class prefix every 20 bytes, so that its repair
// grows it by about a tenth.
std::string OldForm(std::size_t size);
std::string Repaired(std::string_view form);

// What B holds after the run. kAnything is for double faults, where nothing can be promised.
enum class Outcome { kOriginal, kRepaired, kAbsent, kAnything };

// A project on disk listing A.frm, B.frm and C.frm, each with old references. The faults
// under test strike B: A must come out repaired, C untouched, and B as the case expects.
class ProjectScenario final {
 public:
  ProjectScenario(std::filesystem::path folder, std::size_t b_size);

  // Repairs the project, its entries taken from its folder, as the windows do; returns the
  // engine's message, or "" when the repair succeeded.
  std::string Run(repair::FileSystem& files);
  // Checks every file against its expected bytes, and that the log stops at B when it failed.
  void Expect(Outcome b, bool failed) const;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path b_path() const { return folder_ / "B.frm"; }
  std::filesystem::path b_backup() const { return folder_ / "B.frm.plindor-backup"; }
  const std::string& b() const { return b_; }
  const std::string& log() const { return log_; }
  // For a run made in a child process.
  void set_log(std::string log) { log_ = std::move(log); }

 private:
  std::filesystem::path folder_;
  std::string project_, a_, b_, c_;
  std::string log_;
};

// The disk, with a hook that runs right before the files the repair has read and prepared are
// rewritten, once for each of them: how a test changes a file, or arms a fault, at that moment.
class HookedFileSystem final : public repair::FileSystem {
 public:
  using Hook = std::function<void(const std::string& path)>;
  explicit HookedFileSystem(Hook before_commit) : before_commit_(std::move(before_commit)) {}

  std::unique_ptr<repair::RepairFile> OpenForRepair(const std::string& base,
                                                    const std::string& path, Wait wait) override;
  void Commit(const repair::CommitReport& report) override;

 private:
  Hook before_commit_;
  std::vector<std::string> prepared_;  // since the last commit
  repair::DiskFileSystem disk_;
};

}  // namespace plindor::testing
