#pragma once

#include <memory>
#include <string>

#include "repair/file_system.h"

namespace plindor::repair {

// Files on disk. Only regular files are read or written. A rewrite keeps the same file (no
// temporary file, no rename, so permissions, owner and links stay) and never loses its
// content: room for growth is reserved before any byte changes, and a write that fails midway
// puts the original bytes back. Component paths written the Windows way (backslashes, letter
// case that differs from the disk) are found on case-sensitive file systems.
class DiskFileSystem final : public FileSystem {
 public:
  DiskFileSystem();
  std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IoMode mode) override;
};

}  // namespace plindor::repair
