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
  // The failures the shared code acts on; every other one is kFailed.
  enum class Kind { kOk, kFailed, kDenied, kHeld };

  Status() = default;
  explicit Status(std::string reason, Kind kind = Kind::kFailed)
      : reason_(std::move(reason)), kind_(kind) {}
  bool ok() const { return kind_ == Kind::kOk; }
  Kind kind() const { return kind_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
  Kind kind_ = Kind::kOk;
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

// What the folder holds under a file's backup name, as its handle tells.
struct FoundBackup {
  std::string bytes;
  std::uint64_t size = 0;
  bool regular = false;
  std::uint64_t links = 0;
  bool owner_trusted = false;     // the file's owner, or whoever runs this program
  bool others_may_write = false;  // anyone but its owner
};

// The file system a file lives on, where it matters for a rewrite.
struct VolumeFacts {
  bool copies_on_write = false;  // overwriting in place needs free space too
  std::uint64_t free_bytes = 0;
};

// One regular file on disk, open for its repair, and the backup file beside it: the system
// primitives the rewrite batch (rewrite_batch.h) is built on, one implementation per platform.
// They decide nothing: waiting, diagnosing and the protocol's order live in shared code.
inline constexpr char kBackupSuffix[] = ".plindor-backup";

class DiskFile final {
 public:
  enum class Access { kRead, kReadWrite };

  // Opens `path` (relative to the folder `base` unless absolute; `base` empty is the current
  // directory). Only a regular file on a disk file system is opened: the type is checked on a
  // handle that has no effect on what it names, and then that same file is opened. Not locked.
  // Kinds: kDenied when the access is refused, kHeld when another program holds the file.
  static Status Open(const std::string& base, const std::string& path, Access access,
                     std::optional<DiskFile>& out);

  DiskFile(DiskFile&& other) noexcept;
  DiskFile& operator=(DiskFile&& other) noexcept;
  ~DiskFile();

  // Takes the run's exclusive lock; kHeld when another run has it.
  Status TryLock();
  Status ReadAll(std::string& out);
  // The open file's identity, length and modification time.
  Status Stamp(FileStamp& out);
  // The identity of what the file's name leads to now (volume and id only).
  Status StampAtName(FileStamp& out);
  Status WriteAt(std::uint64_t offset, std::string_view data);
  // Claims the disk space a file of `size` bytes needs, where the system can, without changing
  // the length that readers see.
  Status Reserve(std::uint64_t size);
  Status Truncate(std::uint64_t size);
  // Returns once the file's content and length are on the disk itself.
  Status Flush();
  Status Volume(VolumeFacts& out);
  static std::uint64_t PhysicalMemory();

  // Where the file was found: the base folder joined with the names as they are on disk.
  const std::string& location() const;
  // The name of the file the handle is open on, a symbolic link followed.
  std::string target_name() const;
  // The backup's file name, beside the file: the file's name followed by this.
  const std::string& backup_name() const;
  // Makes the backup, empty, readable and writable by the file's owner alone; it shows under
  // its name only at PublishBackup. Never replaces an existing file.
  Status CreateBackup();
  Status WriteBackupAt(std::uint64_t offset, std::string_view data);
  Status PublishBackup();
  // Puts the backup and its name in the folder on the disk itself.
  Status FlushBackup();
  // Reads what the folder holds under the backup's name; nothing when there is none.
  Status ReadBackup(std::optional<FoundBackup>& out);
  Status RemoveBackup();

  // Puts every one of `files`, their backups and the backups' names on the disk itself, in as
  // few steps as the systems involved can be trusted with.
  static Status FlushTogether(std::span<DiskFile* const> files);

 private:
  struct Handles;
  explicit DiskFile(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

// The most a file may hold to be repaired in this machine's memory: a repair holds its text
// about twice over, and the program's own needs come on top.
inline std::uint64_t MemoryLimit() { return DiskFile::PhysicalMemory() / 3; }

}  // namespace plindor::repair
