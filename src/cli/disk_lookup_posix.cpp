#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "cli/disk_lookup.h"
#include "repair/path_resolver.h"
#include "repair/repair_error.h"

namespace plindor::cli {

namespace {

std::optional<std::string> OnDisk(const std::string& path) {
  try {
    return repair::ResolvePath(path);
  } catch (const std::exception&) {
    return std::nullopt;  // the disk file service reports this itself
  }
}

}  // namespace

std::optional<FileId> IdentifyFile(const std::string& path) {
  const std::optional<std::string> on_disk = OnDisk(path);
  struct stat info {};
  if (!on_disk || ::stat(on_disk->c_str(), &info) != 0) return std::nullopt;
  return FileId{info.st_dev, info.st_ino};
}

std::filesystem::path LocateFile(const std::string& path) {
  return std::filesystem::absolute(OnDisk(path).value_or(path));
}

void CheckWritable(const std::string& path) {
  // A real run opens the file for reading and writing; check the same permission without
  // opening anything for writing.
  const std::optional<std::string> on_disk = OnDisk(path);
  if (::faccessat(AT_FDCWD, on_disk.value_or(path).c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    throw repair::RepairError("cannot open \"" + path + "\" for writing: " + std::strerror(errno));
  }
}

}  // namespace plindor::cli
