#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace plindor::cli {

// What a dry run needs to know about the file a repair names, found the way the disk file
// service finds it (on Linux through the Windows-style path lookup, on Windows natively).

// The same for every name of one file: hard links, other letter case, other separators.
using FileId = std::pair<unsigned long long, unsigned long long>;  // device or volume, file

// The file `path` leads to, or nothing when it can't be reached.
std::optional<FileId> IdentifyFile(const std::string& path);

// Where `path` leads, as an absolute path.
std::filesystem::path LocateFile(const std::string& path);

// Fails with the RepairError a real run would raise on opening `path` for writing, changing
// nothing on disk.
void CheckWritable(const std::string& path);

}  // namespace plindor::cli
