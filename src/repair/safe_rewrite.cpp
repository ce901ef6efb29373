#include "repair/safe_rewrite.h"

#include <array>
#include <optional>
#include <vector>

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

// Writes `tail` from `offset` on and makes `offset + tail` the length, whatever length a
// failed attempt left. Not flushed.
Status Overwrite(DiskFile& file, std::uint64_t offset, std::string_view tail) {
  const std::uint64_t size = offset + tail.size();
  if (Status status = file.Reserve(size); !status.ok()) return status;
  if (Status status = file.WriteAt(offset, tail); !status.ok()) return status;
  return file.Truncate(size);
}

// What another program did to `file` since it was read with stamp `read`; "" when nothing.
std::string ChangeSince(DiskFile& file, const FileStamp& read) {
  FileStamp now;
  FileStamp at_name;
  if (Status status = file.Stamp(now); !status.ok()) return status.reason();
  if (!file.StampAtName(at_name).ok() || !at_name.SameFile(read)) {
    return "another program replaced, renamed or removed it since it was read";
  }
  if (now.size != read.size) return "another program changed its length since it was read";
  if (now.modified != read.modified) return "another program changed it since it was read";
  return {};
}

// Puts on the disk the files (with `backups`, their backups) of `rewrites` that change.
Status FlushChanged(std::span<const PreparedRewrite> rewrites, bool backups) {
  std::vector<DiskFile*> files;
  for (const PreparedRewrite& rewrite : rewrites) {
    if (rewrite.changed) files.push_back(rewrite.file);
  }
  // One file is flushed on its own: cheaper than flushing its whole file system.
  if (files.size() == 1) return backups ? files.front()->FlushBackup() : files.front()->Flush();
  if (files.empty()) return {};
  return DiskFile::FlushTogether(files);
}

void RemoveBackups(std::span<const PreparedRewrite> rewrites) {
  // A backup that stays behind is recognised and removed by the next run.
  for (const PreparedRewrite& rewrite : rewrites) {
    if (rewrite.changed) (void)rewrite.file->RemoveBackup();
  }
}

}  // namespace

PreparedRewrite::PreparedRewrite(DiskFile& disk_file, const std::string& shown_path,
                                 const FileStamp& stamp, std::string_view old_text,
                                 std::string_view new_text)
    : file(&disk_file),
      path(&shown_path),
      read(&stamp),
      before(old_text),
      after(new_text),
      offset(static_cast<std::size_t>(BackupRecord::OffsetOfChange(old_text, new_text))),
      changed(offset < old_text.size() || old_text.size() != new_text.size()) {}

void CheckUnchanged(DiskFile& file, const std::string& path, const FileStamp& read) {
  if (const std::string change = ChangeSince(file, read); !change.empty()) {
    CannotWrite(path, change);
  }
}

void PrepareRewrite(const PreparedRewrite& rewrite) {
  CheckUnchanged(*rewrite.file, *rewrite.path, *rewrite.read);
  if (!rewrite.changed) return;
  const BackupRecord record = BackupRecord::For(rewrite.before, rewrite.after);
  const std::string header = EncodeBackupHeader(record);
  const std::array<std::string_view, 2> backup = {header, record.old_tail};
  if (Status status = rewrite.file->CreateBackup(backup); !status.ok()) {
    CannotWrite(*rewrite.path,
                "cannot make its backup " + BackupShown(*rewrite.file) + ": " + status.reason());
  }
}

CommitResult CommitRewrites(std::span<const PreparedRewrite> rewrites) {
  const DeferredTermination until_consistent;
  if (Status status = FlushChanged(rewrites, true); !status.ok()) {
    RemoveBackups(rewrites);
    for (const PreparedRewrite& rewrite : rewrites) {
      if (rewrite.changed) {
        return {0, "cannot write " + Quoted(*rewrite.path) + ": cannot put its backup " +
                       BackupShown(*rewrite.file) + " on the disk: " + status.reason()};
      }
    }
  }

  std::size_t done = 0;
  std::string failure;
  for (; done < rewrites.size(); ++done) {
    const PreparedRewrite& rewrite = rewrites[done];
    // Another program may have come by since the file was prepared.
    if (const std::string change = ChangeSince(*rewrite.file, *rewrite.read); !change.empty()) {
      failure = "cannot write " + Quoted(*rewrite.path) + ": " + change;
      break;
    }
    if (!rewrite.changed) {
      if (Status status = rewrite.file->WriteAt(0, rewrite.after); !status.ok()) {
        failure = "cannot write " + Quoted(*rewrite.path) + ": " + status.reason();
        break;
      }
      continue;
    }
    const std::size_t offset = rewrite.offset;
    Status failed = Overwrite(*rewrite.file, offset, rewrite.after.substr(offset));
    if (failed.ok()) continue;
    failure = "cannot write " + Quoted(*rewrite.path) + ": " + failed.reason();
    Status restore = Overwrite(*rewrite.file, offset, rewrite.before.substr(offset));
    if (restore.ok()) restore = rewrite.file->Flush();
    if (!restore.ok()) {
      failure += "; putting its original content back failed too: " + restore.reason() +
                 "; the original content is kept in its backup " + BackupShown(*rewrite.file);
      // Its backup stays: it is the only copy of what the file held.
      const auto before = rewrites.first(done);
      if (FlushChanged(before, false).ok()) RemoveBackups(before);
      RemoveBackups(rewrites.subspan(done + 1));
      return {done, failure};
    }
    break;
  }

  const auto rewritten = rewrites.first(done);
  if (Status status = FlushChanged(rewritten, false); !status.ok()) {
    // Which of the new contents reached the disk is unknown: every file goes back to its
    // `before`, whose bytes the backups hold should that fail too.
    std::string reason = status.reason();
    for (const PreparedRewrite& rewrite : rewritten) {
      if (!rewrite.changed) continue;
      const std::size_t offset = rewrite.offset;
      if (!Overwrite(*rewrite.file, offset, rewrite.before.substr(offset)).ok() ||
          !rewrite.file->Flush().ok()) {
        return {0, "cannot write " + Quoted(*rewrite.path) + ": " + reason +
                       "; putting its original content back failed too; the original content "
                       "is kept in its backup " +
                       BackupShown(*rewrite.file)};
      }
    }
    RemoveBackups(rewrites);
    return {0, "cannot write " + Quoted(*rewrites.front().path) + ": " + reason};
  }
  RemoveBackups(rewrites);
  return {done, failure};
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
    Status status = Overwrite(file, record.offset, record.old_tail);
    if (status.ok()) status = file.Flush();
    if (!status.ok()) {
      CannotRepair(path, "putting it back from its backup " + backup +
                             ", left by an interrupted run, failed: " + status.reason());
    }
    remove();
  }
  content = RestoredContent(content, record);
  return "put back " + Quoted(path) + " from its backup " + backup + ", left by an interrupted run";
}

}  // namespace plindor::repair
