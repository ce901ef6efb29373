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
  enum class Kind { kOk, kFailed, kDenied, kHeld, kReadOnly, kChanged };

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
  std::int64_t changed = 0;   // content or attributes, in the system's own units
  bool SameFile(const FileStamp& other) const { return volume == other.volume && id == other.id; }
  bool operator==(const FileStamp&) const = default;
};

// What the folder holds under a file's backup name, as its handle tells before it is read.
struct FoundBackup {
  std::uint64_t size = 0;
  bool regular = false;
  std::uint64_t links = 0;
  bool owner_trusted = false;     // the file's owner, or whoever runs this program
  bool others_may_write = false;  // anyone but its owner
};

// The file system a part lives on.
struct VolumeFacts {
  std::uint64_t type = 0;  // as the system numbers it (Linux: statfs's f_type); 0 when unknown
  std::uint64_t free_bytes = 0;
};

// One regular file on disk, open for its repair, the backup file beside it and the folder that
// holds both: the system primitives the rewrite batch (rewrite_batch.h) is built on, one
// implementation per platform. They decide nothing: waiting, diagnosing, which flush to trust
// and the protocol's order live in shared code.
inline constexpr char kBackupSuffix[] = ".plindor-backup";

class DiskFile final {
 public:
  enum class Access { kRead, kReadWrite };
  enum class Part { kFile, kBackup, kFolder };

  // Opens `path` (relative to the folder `base` unless absolute; `base` empty is the current
  // directory). Only a regular file on a disk file system is opened: the type is checked on a
  // handle that has no effect on what it names, and then that same file is opened. Not locked.
  // Kinds: kDenied when the access is refused, kHeld when another program holds the file,
  // kReadOnly when writing is asked for a file its owner may not write.
  static Status Open(const std::string& base, const std::string& path, Access access,
                     std::optional<DiskFile>& out);

  DiskFile(DiskFile&& other) noexcept;
  DiskFile& operator=(DiskFile&& other) noexcept;
  ~DiskFile();

  // Takes the run's exclusive lock, as every kind of lock other programs take; kHeld when
  // another program has one.
  Status TryLock();
  // Makes other programs' opens of the file wait until Release (or, should Release not come,
  // until the system gives up waiting), where the system can. Fails where it can't.
  Status Hold();
  void Release();
  // Whether a hold keeps every other writer out until its release, come what may.
  static bool HoldKeepsWritersOut();

  // Reads from `offset` until `out` holds `size` bytes or the end is reached.
  Status ReadAt(Part part, std::uint64_t offset, std::uint64_t size, std::string& out);
  // Large writes go in slices aligned to the file's offsets, each handed to the disk as soon as
  // it is written, so that the flush which follows finds most of the work done. With `length`,
  // the file's length as this run left it, each slice first checks it (CheckLength).
  Status WriteAt(Part part, std::uint64_t offset, std::string_view data,
                 std::uint64_t* length = nullptr);
  // Fails, kind kChanged, unless the file's length is still `length`: another program wrote.
  Status CheckLength(std::uint64_t length);
  // Claims the disk space a file of `size` bytes needs, where the system can, without changing
  // the length that readers see.
  Status Reserve(std::uint64_t size);
  Status Truncate(std::uint64_t size);
  // The file's identity, length and times; for the backup and the folder, their identity.
  Status Stamp(FileStamp& out, Part part = Part::kFile);
  // The identity of what the file's name leads to now (volume and id only).
  Status StampAtName(FileStamp& out);
  // Returns once the part's content (the folder: its names) is on the disk itself.
  Status Flush(Part part);
  // The same for everything on the part's file system, in one step.
  Status FlushVolume(Part part);
  Status Volume(Part part, VolumeFacts& out);
  static std::uint64_t PhysicalMemory();

  // Where the file was found: the base folder joined with the names as they are on disk.
  const std::string& location() const;
  // The file's name in its folder, as it is on disk.
  const std::string& name() const;
  // The name of the file the handle is open on, a symbolic link followed.
  std::string target_name() const;
  // The backup's file name, beside the file: the file's name followed by kBackupSuffix.
  const std::string& backup_name() const;

  // Makes the backup, empty, readable and writable by the file's owner alone; it shows under
  // its name only at PublishBackup. Never replaces an existing file.
  Status CreateBackup();
  Status PublishBackup();
  // Opens, for reading, what the folder holds under the backup's name; nothing when there is
  // none. Not a byte is read.
  Status OpenBackup(std::optional<FoundBackup>& out);
  Status RemoveBackup();

 private:
  struct Handles;
  explicit DiskFile(std::unique_ptr<Handles> handles);
  // Single system calls; the loops around them are shared.
  Status ReadSome(Part part, std::uint64_t offset, std::span<char> into, std::size_t& got);
  Status WriteSome(Part part, std::uint64_t offset, std::string_view data, std::size_t& put);
  void StartWriteback(Part part, std::uint64_t offset, std::uint64_t length);
  Status Allocate(std::uint64_t from, std::uint64_t to);

  std::unique_ptr<Handles> handles_;
};

// The most a file may hold to be repaired in this machine's memory: a repair holds its text
// about twice over, and the program's own needs come on top.
inline std::uint64_t MemoryLimit() { return DiskFile::PhysicalMemory() / 3; }

}  // namespace plindor::repair
