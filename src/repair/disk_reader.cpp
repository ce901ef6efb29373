#include "repair/disk_reader.h"

#include <new>
#include <optional>
#include <utility>

#include "repair/path_text.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

void Check(const Status& status, const std::string& path) {
  if (!status.ok()) FailOn("cannot read", path, status.reason());
}

// Opens the file for reading alone; `name` is how failures name it.
DiskFile Open(const std::string& base, const std::string& path, const std::string& name) {
  std::optional<DiskFile> file;
  if (Status status = DiskFile::Open(base, path, DiskFile::Access::kRead, file); !status.ok()) {
    FailOn("cannot open", name, "for reading", status.reason());
  }
  return std::move(*file);
}

FoundFile Found(DiskFile& file, const FileStamp& stamp, const std::string& path) {
  FileStamp folder;
  Check(file.Stamp(folder, DiskFile::Part::kFolder), path);
  return {file.location(), stamp.volume, stamp.id, stamp.size, folder.volume, folder.id};
}

}  // namespace

bool ReadWhole(DiskFile& file, const std::string& path, std::uint64_t max_size, FileStamp& stamp,
               std::string& content) {
  Check(file.Stamp(stamp), path);
  if (stamp.size > max_size) return false;
  try {
    // One byte more than expected, where a growing file shows.
    Check(file.ReadAt(DiskFile::Part::kFile, 0, stamp.size + 1, content), path);
  } catch (const std::bad_alloc&) {
    FailOn("cannot read", path, TooLarge(stamp.size));
  }
  FileStamp after;
  Check(file.Stamp(after), path);
  if (after != stamp || content.size() != stamp.size) {
    FailOn("cannot read", path, "another program is changing it");
  }
  return true;
}

FoundFile DiskReader::Find(const std::string& base, const std::string& path) {
  const std::string name = JoinedPath(base, path);
  DiskFile file = Open(base, path, name);
  FileStamp stamp;
  Check(file.Stamp(stamp), name);
  return Found(file, stamp, name);
}

FoundFile DiskReader::Read(const std::string& base, const std::string& path, std::uint64_t max_size,
                           std::string& content) {
  const std::string name = JoinedPath(base, path);
  DiskFile file = Open(base, path, name);
  FileStamp stamp;
  ReadWhole(file, name, max_size, stamp, content);
  return Found(file, stamp, name);
}

}  // namespace plindor::repair
