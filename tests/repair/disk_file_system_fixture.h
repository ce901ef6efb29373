#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "memory_file_system.h"
#include "repair/disk_file_system.h"
#include "temp_dir.h"

namespace plindor::repair {

inline std::string Backup(const std::string& path) { return path + ".plindor-backup"; }

// The disk's file service over a folder of the test's own.
class DiskFileSystemFixture : public ::testing::Test {
 protected:
  // Opens, reads and rewrites `path` with `text`; returns what was read.
  std::string Rewrite(const std::string& path, std::string_view text) {
    const auto file = files.OpenForRepair("", path);
    std::string read = file->Read();
    testing::Rewrite(files, *file, text);
    return read;
  }

  testing::TempDir dir;
  DiskFileSystem files;
};

}  // namespace plindor::repair
