#pragma once

#include <cstdint>
#include <string>

namespace plindor::repair {

// The file a path led to.
struct FoundFile {
  std::string location;      // the base folder joined with the names as they are on disk
  std::uint64_t volume = 0;  // with `id`, the file itself, whichever name led to it
  std::uint64_t id = 0;
  std::uint64_t size = 0;
  // The folder the name led into, which a project finds its components from: the same file
  // named from two folders is two projects. Zero where the system doesn't say.
  std::uint64_t folder_volume = 0;
  std::uint64_t folder_id = 0;
};

// Files that are read and never written: none is opened for writing, locked or backed up, so a
// read-only file reads as well as any other. A path is taken from the folder `base` unless it is
// from a root (`base` empty: the current directory) and leads where the repair's file service
// (file_system.h) would take it. Only an existing regular file is opened. Failures are
// RepairErrors that name the file as JoinedPath(base, path) shows it.
class FileReader {
 public:
  virtual ~FileReader() = default;
  virtual FoundFile Find(const std::string& base, const std::string& path) = 0;
  // Finds the file and, unless it holds more than `max_size` bytes, reads it whole into
  // `content`, every byte as it is on disk.
  virtual FoundFile Read(const std::string& base, const std::string& path, std::uint64_t max_size,
                         std::string& content) = 0;
};

}  // namespace plindor::repair
