#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include <filesystem>
#include <optional>

#include "memory_file_system.h"
#include "repair/backup_record.h"
#include "repair/disk_file.h"
#include "repair/disk_file_system.h"
#include "temp_dir.h"

namespace plindor::repair {

inline std::string Backup(const std::string& path) { return path + ".plindor-backup"; }

// The backup a rewrite of the existing file `path` from `before` to `after` makes.
inline std::string BackupFor(const std::filesystem::path& path, std::string_view before,
                             std::string_view after) {
  const std::u8string name = path.u8string();
  std::optional<DiskFile> file;
  FileStamp stamp;
  EXPECT_TRUE(
      DiskFile::Open("", std::string(name.begin(), name.end()), DiskFile::Access::kRead, file)
          .ok());
  EXPECT_TRUE(file && file->Stamp(stamp).ok());
  const BackupRecord record = BackupRecord::For(file ? file->name() : "", stamp.id, before, after);
  return EncodeBackupHeader(record) + std::string(record.old_tail);
}

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
