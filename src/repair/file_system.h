#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace plindor::repair {

// One file held for its repair, from its read to its rewrite: one handle, locked against other
// runs, never reopened by name in between. A file released (destroyed) before it was committed
// stays as it was.
class RepairFile {
 public:
  virtual ~RepairFile() = default;
  // What opening found and did about a backup an interrupted run left behind, as a sentence
  // for the log ("put back ... from ..."); empty when there was none.
  virtual const std::string& Recovery() const = 0;
  // Where the file was found: the base folder joined with the names as they are on disk.
  virtual const std::string& Location() const = 0;
  // The whole content, every byte as it is on disk.
  virtual const std::string& Read() = 0;
  // Readies the file's rewrite to `text`, which must stay alive until the commit, as the next
  // file of the service's batch: fails, changing nothing, when another program changed the file
  // since it was read, or when the backup of the bytes that will change can't be made. The
  // file itself is not touched.
  virtual void Prepare(std::string_view text) = 0;
};

// Told, in order, of each prepared file whose rewrite was committed (`failure` empty), then of
// the one that failed, with the reason; before any request to end the program takes effect.
using CommitReport = std::function<void(std::size_t index, std::string_view failure)>;

// Whole-file access for the repair. Every failure names the path as the caller gave it.
class FileSystem {
 public:
  enum class Wait { kNo, kYes };

  virtual ~FileSystem() = default;
  // Opens the existing regular file `path` for its repair; a relative `path` is taken from the
  // folder `base` (the current directory when `base` is empty). Nothing is created. A backup
  // an interrupted run left for the file is dealt with here, before anything reads the file.
  // While another run (or this one, through a file not yet committed) holds the file, waits
  // for it, or with Wait::kNo returns nothing. Throws RepairError.
  virtual std::unique_ptr<RepairFile> OpenForRepair(const std::string& base,
                                                    const std::string& path,
                                                    Wait wait = Wait::kYes) = 0;
  // Rewrites the files prepared since the last commit, in the order they were prepared, as one
  // step: when it returns, the new content of every file rewritten is on the disk itself. A
  // file that fails keeps its old content, or, when even that can't be put back, a backup
  // beside it that the failure names; the files after it are left as they were. Throws
  // RepairError with that failure once `report` has heard of it.
  virtual void Commit(const CommitReport& report) = 0;
};

}  // namespace plindor::repair
