#include "repair/safe_rewrite.h"

#include <array>
#include <optional>

#include "repair/backup_record.h"
#include "repair/deferred_termination.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

[[noreturn]] void CannotWrite(const std::string& path, std::string_view reason) {
  FailOn("cannot write", path, reason);
}

[[noreturn]] void CannotRepair(const std::string& path, std::string_view reason) {
  FailOn("cannot repair", path, reason);
}

std::string BackupShown(const DiskFile& file) { return Quoted(file.backup_name()); }

// Writes `tail` from `offset` on, makes `offset + tail` the length, and flushes. Whatever
// length a failed attempt left, this sets it right.
Status Overwrite(DiskFile& file, std::uint64_t offset, std::string_view tail) {
  const std::uint64_t size = offset + tail.size();
  if (Status status = file.Reserve(size); !status.ok()) return status;
  if (Status status = file.WriteAt(offset, tail); !status.ok()) return status;
  if (Status status = file.Truncate(size); !status.ok()) return status;
  return file.Flush();
}

}  // namespace

void CheckUnchanged(DiskFile& file, const std::string& path, const FileStamp& read) {
  FileStamp now;
  FileStamp at_name;
  if (Status status = file.Stamp(now); !status.ok()) CannotWrite(path, status.reason());
  if (!file.StampAtName(at_name).ok() || !at_name.SameFile(read)) {
    CannotWrite(path, "another program replaced, renamed or removed it since it was read");
  }
  if (now.size != read.size) {
    CannotWrite(path, "another program changed its length since it was read");
  }
  if (now.modified != read.modified) {
    CannotWrite(path, "another program changed it since it was read");
  }
}

void SafeRewrite(DiskFile& file, const std::string& path, const FileStamp& read,
                 std::string_view before, std::string_view after) {
  CheckUnchanged(file, path, read);
  if (before == after) {
    if (Status status = file.WriteAt(0, after); !status.ok()) CannotWrite(path, status.reason());
    return;
  }

  const DeferredTermination until_consistent;
  const BackupRecord record = BackupRecord::For(before, after);
  const std::string header = EncodeBackupHeader(record);
  const std::array<std::string_view, 2> backup = {header, record.old_tail};
  if (Status status = file.CreateBackup(backup); !status.ok()) {
    CannotWrite(path, "cannot make its backup " + BackupShown(file) + ": " + status.reason());
  }

  const auto offset = record.offset;
  const std::string_view new_tail = after.substr(static_cast<std::size_t>(offset));
  if (Status failed = Overwrite(file, offset, new_tail); !failed.ok()) {
    if (Status restore = Overwrite(file, offset, record.old_tail); !restore.ok()) {
      CannotWrite(path, failed.reason() +
                            "; putting its original content back failed too: " + restore.reason() +
                            "; the original content is kept in its backup " + BackupShown(file));
    }
    (void)file.RemoveBackup();  // the file is whole again; a leftover would be recognised
    CannotWrite(path, failed.reason());
  }
  if (Status status = file.RemoveBackup(); !status.ok()) {
    FailOn("cannot remove", file.backup_name(),
           status.reason() + " (the backup of " + Quoted(path) + ", which is repaired)");
  }
}

std::string RecoverBackup(DiskFile& file, const std::string& path, std::string& content,
                          bool write) {
  std::optional<std::string> bytes;
  if (Status status = file.ReadBackup(bytes); !status.ok()) {
    CannotRepair(path, "cannot read its backup " + BackupShown(file) + ": " + status.reason());
  }
  if (!bytes) return {};

  const std::string backup = BackupShown(file);
  const auto remove = [&] {
    if (!write) return;
    if (Status status = file.RemoveBackup(); !status.ok()) {
      CannotRepair(path, "cannot remove its backup " + backup + ": " + status.reason());
    }
  };
  const ParsedBackup parsed = ParseBackup(*bytes);
  switch (parsed.state) {
    case BackupState::kForeign:
      CannotRepair(path, backup + " beside it is not a backup this program made; move it away");
    case BackupState::kIncomplete:
      // The run ended while writing it, before any byte of the file changed.
      remove();
      return "removed " + backup + ", the unfinished backup of an interrupted run; " +
             Quoted(path) + " was not changed";
    case BackupState::kValid:
      break;
  }
  const BackupRecord& record = parsed.record;
  switch (MatchBackup(content, record)) {
    case BackupMatch::kOtherFile:
      CannotRepair(path, "it changed after an interrupted run left its backup " + backup +
                             "; compare the two, then move the backup away");
    case BackupMatch::kOriginal:
    case BackupMatch::kRewritten:
      remove();
      return "removed " + backup + ", left by an interrupted run; " + Quoted(path) + " was whole";
    case BackupMatch::kInterrupted:
      break;
  }
  if (write) {
    const DeferredTermination until_consistent;
    if (Status status = Overwrite(file, record.offset, record.old_tail); !status.ok()) {
      CannotRepair(path, "putting it back from its backup " + backup +
                             ", left by an interrupted run, failed: " + status.reason());
    }
    remove();
  }
  content = RestoredContent(content, record);
  return "put back " + Quoted(path) + " from its backup " + backup + ", left by an interrupted run";
}

}  // namespace plindor::repair
