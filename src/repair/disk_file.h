#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace plindor::repair {

// What a system call's failure was, in the system's own words; empty when it succeeded.
class [[nodiscard]] Status final {
 public:
  Status() = default;
  explicit Status(std::string reason) : reason_(std::move(reason)) {}
  bool ok() const { return reason_.empty(); }
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// Which file a handle or a name leads to, and the state that tells whether it changed.
struct FileStamp {
  std::uint64_t volume = 0;
  std::uint64_t id = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own units
  bool SameFile(const FileStamp& other) const { return volume == other.volume && id == other.id; }
  bool operator==(const FileStamp&) const = default;
};

// One regular file on disk, open for its repair, and the backup file beside it: the few system
// primitives the safe rewrite (safe_rewrite.h) is built on. Each platform implements them in
// disk_file_<platform>.cpp; nothing there decides anything the platforms share.
class DiskFile final {
 public:
  // Opens `path` (relative to the folder `base` unless absolute; `base` empty is the current
  // directory) for reading and writing. Only a regular file on a disk file system is opened:
  // the name is checked before opening and the handle after. While another run holds the
  // file, waits for it, or with `wait` false returns nothing. Throws RepairError
  // "cannot open "<path>" for reading|writing: <reason>".
  static std::optional<DiskFile> Open(const std::string& base, const std::string& path, bool wait);

  DiskFile(DiskFile&& other) noexcept;
  DiskFile& operator=(DiskFile&& other) noexcept;
  ~DiskFile();

  Status ReadAll(std::string& out);
  // The open file's identity, length and modification time.
  Status Stamp(FileStamp& out);
  // The identity of what the file's name leads to now (volume and id only).
  Status StampAtName(FileStamp& out);
  Status WriteAt(std::uint64_t offset, std::string_view data);
  // Claims the disk space a file of `size` bytes needs beyond its current length, where the
  // system can; may set the length to `size`. Succeeds, doing nothing, where space can't be
  // claimed ahead.
  Status Reserve(std::uint64_t size);
  Status Truncate(std::uint64_t size);
  // Returns once the file's content and length are on the disk itself.
  Status Flush();

  // Where the file was found: the base folder joined with the names as they are on disk.
  const std::string& location() const;
  // The backup's file name, beside the file: "<name>.plindor-backup".
  const std::string& backup_name() const;
  // Creates the backup (never over an existing file) and writes `parts` into it one after the
  // other; it stays open, not yet flushed. On failure nothing is left behind.
  Status CreateBackup(std::span<const std::string_view> parts);
  // Puts the backup and its name in the folder on the disk itself.
  Status FlushBackup();
  // Reads the backup whole; nothing when there is none.
  Status ReadBackup(std::optional<std::string>& out);
  Status RemoveBackup();

  // Puts every one of `files`, and their backups with their names, on the disk itself, in as
  // few steps as the system allows (one per file system on Linux).
  static Status FlushTogether(std::span<DiskFile* const> files);

 private:
  struct Handles;
  explicit DiskFile(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

}  // namespace plindor::repair
