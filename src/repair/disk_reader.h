#pragma once

#include <cstdint>
#include <string>

#include "repair/disk_file.h"
#include "repair/file_reader.h"

namespace plindor::repair {

// Files on disk, read without being written (see FileReader).
class DiskReader final : public FileReader {
 public:
  FoundFile Find(const std::string& base, const std::string& path) override;
  FoundFile Read(const std::string& base, const std::string& path, std::uint64_t max_size,
                 std::string& content) override;
};

// Reads `file` whole into `content` unless it holds more than `max_size` bytes; returns whether
// it did, with `stamp` taken before the read. A change made during the read fails rather than
// being taken for the content. Failures name `path`. The one whole read of every file service.
bool ReadWhole(DiskFile& file, const std::string& path, std::uint64_t max_size, FileStamp& stamp,
               std::string& content);

}  // namespace plindor::repair
