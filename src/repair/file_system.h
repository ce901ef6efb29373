#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace plindor::repair {

// One file held for its repair, from its read to its rewrite: one handle, locked against other
// runs, never reopened by name in between. Releasing it (destroying it) ends the repair of the
// file; a file released without Rewrite stays as it was.
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
  // Replaces the whole content with `text`, keeping the same file (no temporary file, no
  // rename). Fails, changing nothing, when another program changed the file since it was read.
  // Either the new content is on disk when this returns, or the old content is still there, or
  // a backup left next to the file, which the error names, holds what is needed to put it back.
  virtual void Rewrite(std::string_view text) = 0;
};

// Whole-file access for the repair. Every failure is a RepairError naming the path as given.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens the existing regular file `path` for its repair; a relative `path` is taken from the
  // folder `base` (the current directory when `base` is empty). Nothing is created. A backup
  // an interrupted run left for the file is dealt with here, before anything reads the file.
  virtual std::unique_ptr<RepairFile> OpenForRepair(const std::string& base,
                                                    const std::string& path) = 0;
};

}  // namespace plindor::repair
