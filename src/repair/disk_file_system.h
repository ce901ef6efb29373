#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/file_system.h"
#include "repair/rewrite_batch.h"

namespace plindor::repair {

// Files on disk, repaired crash-safely (see rewrite_batch.h): one handle per file from its read
// to its rewrite, locked against other runs, checked for changes by other programs before it
// is written, backed up while it is overwritten, and on the disk itself before the rewrite
// returns. Only regular files on disk file systems are opened, and never a backup this program
// makes. On Linux, component paths written the Windows way (backslashes, letter case that
// differs from the disk) are found.
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
  void Commit(const CommitReport& report) override;

 private:
  class File;
  using FileId = std::pair<std::uint64_t, std::uint64_t>;  // volume, id

  Mode mode_;
  RewriteBatch batch_;
  // In a preview: the files prepared since the last commit, and what the rewrites left.
  std::vector<std::pair<const File*, std::string_view>> previewed_;
  std::map<FileId, std::string> previews_;
};

}  // namespace plindor::repair
