#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/disk_lookup.h"
#include "repair/file_system.h"

namespace plindor::cli {

// A file a dry run touched: what is on disk and what a real run would leave there.
struct CapturedFile {
  std::string path;                // as the repair first named it
  std::filesystem::path location;  // absolute, as found on disk
  std::string original;
  std::string repaired;
};

// One rewrite the repair asked for, in order: which file, and its text just before.
struct CapturedWrite {
  std::size_t file;
  std::string before;
};

// Reads through another file service and keeps every write in memory instead of passing it
// on, so that nothing on disk changes (no content, no modification time). Later reads of a file
// see what was written to it, so a file listed twice behaves as in a real run. Opening for
// writing still fails where a real run would, on a file the process may not write.
class DryRunFileSystem final : public repair::FileSystem {
 public:
  explicit DryRunFileSystem(repair::FileSystem& disk) : disk_(disk) {}
  DryRunFileSystem(const DryRunFileSystem&) = delete;
  DryRunFileSystem& operator=(const DryRunFileSystem&) = delete;

  std::unique_ptr<repair::TextStream> OpenTextFile(const std::string& path,
                                                   repair::IoMode mode) override;

  // In the order the repair first touched them.
  const std::deque<CapturedFile>& files() const { return files_; }
  const std::vector<CapturedWrite>& writes() const { return writes_; }

 private:
  // The index of the captured file `path` names, reading it from disk on first use.
  std::size_t Capture(const std::string& path);

  repair::FileSystem& disk_;
  std::deque<CapturedFile> files_;  // a deque keeps references stable for open streams
  std::map<FileId, std::size_t> by_id_;
  std::vector<CapturedWrite> writes_;
};

}  // namespace plindor::cli
