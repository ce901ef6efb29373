#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "repair/file_system.h"

namespace plindor::repair {

// Files on disk, repaired crash-safely (see safe_rewrite.h): one handle per file from its read
// to its rewrite, locked against other runs, checked for changes by other programs before it
// is written, backed up while it is overwritten, and on the disk itself before the rewrite
// returns. Only regular files on disk file systems are opened. On Linux, component paths
// written the Windows way (backslashes, letter case that differs from the disk) are found.
class DiskFileSystem final : public FileSystem {
 public:
  enum class Mode {
    kRepair,  // rewrite the files
    // Open, lock, read and check exactly as a repair does, but write nothing. What a rewrite
    // would have left is what a later read of the same file (by any name) gets.
    kPreview,
  };
  explicit DiskFileSystem(Mode mode = Mode::kRepair);
  ~DiskFileSystem() override;
  DiskFileSystem(const DiskFileSystem&) = delete;
  DiskFileSystem& operator=(const DiskFileSystem&) = delete;

  std::unique_ptr<RepairFile> OpenForRepair(const std::string& base, const std::string& path,
                                            Wait wait = Wait::kYes) override;
  CommitResult Commit(std::span<RepairFile* const> files) override;

 private:
  class File;
  class PendingBackups;
  // What previewed rewrites left, by file identity (volume, id).
  using Previews = std::map<std::pair<std::uint64_t, std::uint64_t>, std::string>;

  Mode mode_;
  Previews previews_;
  std::unique_ptr<PendingBackups> pending_;
};

}  // namespace plindor::repair
