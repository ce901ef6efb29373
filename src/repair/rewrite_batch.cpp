#include "repair/rewrite_batch.h"

#include <algorithm>
#include <array>
#include <utility>

#include "repair/backup_record.h"
#include "repair/repair_error.h"

namespace plindor::repair {

struct RewriteBatch::Rewrite {
  DiskFile* file;
  const std::string* path;  // for messages
  const FileStamp* read;
  std::string_view before;
  std::string_view after;
  BackupRecord record;

  std::size_t offset() const { return static_cast<std::size_t>(record.offset); }
  bool Changes() const { return offset() < before.size() || before.size() != after.size(); }
  std::string Backup() const { return Quoted(file->backup_name()); }
  // What overwriting in place may take on a file system that copies what it overwrites: the
  // backup, the new bytes, and the old ones again should they have to go back.
  std::uint64_t Footprint() const {
    return 2 * (before.size() - offset()) + after.size() - offset();
  }
};

namespace {

using Rewrite = RewriteBatch::Rewrite;

[[noreturn]] void CannotRepair(const std::string& path, std::string_view reason) {
  FailOn("cannot repair", path, reason);
}

std::string CannotWrite(const Rewrite& rewrite, std::string_view reason) {
  return Describe("cannot write", *rewrite.path, {}, reason);
}

// Writes `tail` from `offset` on and makes `offset + tail` the length, whatever length a
// failed attempt left. Not flushed.
Status Overwrite(DiskFile& file, std::uint64_t offset, std::string_view tail) {
  const std::uint64_t size = offset + tail.size();
  if (Status status = file.Reserve(size); !status.ok()) return status;
  if (Status status = file.WriteAt(offset, tail); !status.ok()) return status;
  return file.Truncate(size);
}

// Puts the old content back, on the disk itself.
Status Restore(const Rewrite& rewrite) {
  Status status = Overwrite(*rewrite.file, rewrite.offset(), rewrite.record.old_tail);
  return status.ok() ? rewrite.file->Flush() : status;
}

}  // namespace

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

namespace {

// Puts on the disk the files of `rewrites` that change, with `backups` only their backups.
Status Flush(std::span<const Rewrite> rewrites, bool backups) {
  std::vector<DiskFile*> files;
  for (const Rewrite& rewrite : rewrites) {
    if (rewrite.Changes()) files.push_back(rewrite.file);
  }
  if (files.empty()) return {};
  // One file is flushed on its own: cheaper than flushing its whole file system.
  if (files.size() == 1) return backups ? files.front()->FlushBackup() : files.front()->Flush();
  return DiskFile::FlushTogether(files);
}

// Writes the backup of `rewrite` whole, then gives it its name; on failure nothing is left.
Status WriteBackup(const Rewrite& rewrite) {
  const BackupRecord& record = rewrite.record;
  const std::string header = EncodeBackupHeader(record);
  DiskFile& file = *rewrite.file;
  Status status = file.CreateBackup();
  if (!status.ok()) return status;
  status = file.WriteBackupAt(0, header);
  if (status.ok()) status = file.WriteBackupAt(header.size(), record.old_tail);
  if (status.ok()) status = file.PublishBackup();
  if (!status.ok()) (void)file.RemoveBackup();
  return status;
}

}  // namespace

RewriteBatch::RewriteBatch() = default;

RewriteBatch::~RewriteBatch() {
  // Prepared but never committed: the files are untouched, so their backups are not needed.
  for (const Rewrite& rewrite : rewrites_) {
    if (rewrite.Changes()) (void)rewrite.file->RemoveBackup();
  }
}

void RewriteBatch::Add(DiskFile& file, const std::string& path, const FileStamp& read,
                       std::string_view before, std::string_view after) {
  const Rewrite rewrite{&file, &path, &read, before, after, BackupRecord::For(before, after)};
  if (const std::string change = ChangeSince(file, read); !change.empty()) {
    FailOn("cannot write", path, change);
  }
  if (rewrite.Changes()) {
    VolumeFacts volume;
    if (file.Volume(volume).ok() && volume.copies_on_write) {
      std::uint64_t needed = rewrite.Footprint();
      for (const Rewrite& other : rewrites_) {
        if (other.read->volume == read.volume && other.Changes()) needed += other.Footprint();
      }
      if (volume.free_bytes < needed) {
        FailOn("cannot write", path,
               "its file system copies what it overwrites and has " +
                   std::to_string(volume.free_bytes) + " bytes free, fewer than the " +
                   std::to_string(needed) + " its rewrite and a possible restore need");
      }
    }
    if (!hold_) hold_.emplace();
    if (Status status = WriteBackup(rewrite); !status.ok()) {
      if (rewrites_.empty()) hold_.reset();
      FailOn("cannot write", path,
             "cannot make its backup " + rewrite.Backup() + ": " + status.reason());
    }
  }
  rewrites_.push_back(rewrite);
}

void RewriteBatch::Forget(const DiskFile& file) {
  const auto found = std::ranges::find(rewrites_, &file, &Rewrite::file);
  if (found == rewrites_.end()) return;
  if (found->Changes()) (void)found->file->RemoveBackup();
  rewrites_.erase(found);
  if (rewrites_.empty()) hold_.reset();
}

void RewriteBatch::Commit(const CommitReport& report) {
  if (!hold_) hold_.emplace();
  // Whatever happens, the requests to end the program go through once this returns.
  const struct Release {
    RewriteBatch& batch;
    ~Release() { batch.hold_.reset(); }
  } release{*this};
  std::vector<Rewrite> batch = std::exchange(rewrites_, {});
  // Run raises nothing of its own, but memory may run out: then the backups stay, as a kill
  // leaves them, and the next run puts back what needs it.
  const std::pair<std::size_t, std::string> result = Run(batch);
  // Told while requests to end the program still wait, so that no finished work goes unlogged.
  const auto& [rewritten, failure] = result;
  for (std::size_t i = 0; i < rewritten; ++i) report(i, {});
  if (failure.empty()) return;
  report(rewritten, failure);
  throw RepairError(failure);
}

std::pair<std::size_t, std::string> RewriteBatch::Run(std::vector<Rewrite>& batch) {
  const std::span<const Rewrite> all(batch);
  if (Status status = Flush(all, true); !status.ok()) {
    for (const Rewrite& rewrite : batch) {
      if (rewrite.Changes()) (void)rewrite.file->RemoveBackup();
    }
    const auto first = std::ranges::find_if(batch, &Rewrite::Changes);
    return {0, CannotWrite(*first, "cannot put its backup " + first->Backup() +
                                       " on the disk: " + status.reason())};
  }

  std::size_t done = 0;     // files overwritten with their new content
  std::size_t touched = 0;  // and those partly overwritten
  std::string failure;
  for (; done < batch.size(); ++done) {
    const Rewrite& rewrite = batch[done];
    // Another program may have come by since the file was prepared.
    if (const std::string change = ChangeSince(*rewrite.file, *rewrite.read); !change.empty()) {
      failure = CannotWrite(rewrite, change);
      break;
    }
    // A file that doesn't change is written back all the same, as every file of a run is, but
    // needs neither backup nor flush: its bytes on disk never differ from either version.
    const Status status = rewrite.Changes() ? Overwrite(*rewrite.file, rewrite.offset(),
                                                        rewrite.after.substr(rewrite.offset()))
                                            : rewrite.file->WriteAt(0, rewrite.after);
    if (!status.ok()) {
      failure = CannotWrite(rewrite, status.reason());
      touched = done + 1;
      break;
    }
  }
  touched = std::max(touched, done);

  // The files kept, counted from the first; from there on every file touched goes back.
  std::size_t kept = done;
  if (Status status = Flush(all.first(done), false); !status.ok()) {
    // Which of the new contents reached the disk is unknown.
    kept = 0;
    failure = CannotWrite(*std::ranges::find_if(batch, &Rewrite::Changes), status.reason());
  } else {
    for (std::size_t i = 0; i < done; ++i) {
      // A program that saves by replacing the file may have read it halfway through.
      FileStamp at_name;
      const Rewrite& rewrite = batch[i];
      if (rewrite.Changes() &&
          (!rewrite.file->StampAtName(at_name).ok() || !at_name.SameFile(*rewrite.read))) {
        kept = i;
        failure = CannotWrite(
            rewrite, "another program replaced, renamed or removed it while it was rewritten");
        break;
      }
    }
  }

  std::vector<bool> backup_stays(batch.size(), false);
  for (std::size_t i = kept; i < touched; ++i) {
    const Rewrite& rewrite = batch[i];
    if (!rewrite.Changes()) continue;
    if (Status status = Restore(rewrite); !status.ok()) {
      failure += "; putting back the original content of " + Quoted(*rewrite.path) +
                 " failed too: " + status.reason() + "; it is kept in its backup " +
                 rewrite.Backup();
      backup_stays[i] = true;
    }
  }
  for (std::size_t i = 0; i < batch.size(); ++i) {
    // A backup that stays behind by accident is recognised and removed by the next run.
    if (batch[i].Changes() && !backup_stays[i]) (void)batch[i].file->RemoveBackup();
  }
  return {kept, failure};
}

std::string RecoverBackup(DiskFile& file, const std::string& path, std::string& content,
                          bool write) {
  std::optional<FoundBackup> found;
  const std::string backup = Quoted(file.backup_name());
  if (Status status = file.ReadBackup(found); !status.ok()) {
    CannotRepair(path, "cannot read its backup " + backup + ": " + status.reason());
  }
  if (!found) return {};

  // Only a backup this program can have made for this file is used, or removed.
  const auto refuse = [&](std::string_view why) {
    CannotRepair(path, "its backup " + backup + " " + std::string(why) +
                           ", as no backup this program makes is; compare the two, then move "
                           "the backup away");
  };
  if (!found->regular) refuse("is not a regular file");
  if (found->links != 1) refuse("has other names (hard links)");
  if (!found->owner_trusted) refuse("is owned by another user");
  if (found->others_may_write) refuse("may be changed by other users");
  if (found->size > MemoryLimit()) {
    CannotRepair(path, "its backup " + backup + " cannot be read: " + TooLarge(found->size));
  }

  const ParsedBackup parsed = ParseBackup(found->bytes);
  if (parsed.state == BackupState::kUnknown) {
    CannotRepair(path, backup +
                           " beside it is not a backup this program made, or one a power failure "
                           "cut short; compare the two, then move the backup away");
  }
  const BackupRecord& record = parsed.record;
  const BackupMatch match = MatchBackup(content, record);
  const auto remove = [&] {
    if (!write) return;
    if (Status status = file.RemoveBackup(); !status.ok()) {
      CannotRepair(path, "cannot remove its backup " + backup + ": " + status.reason());
    }
  };
  const std::string removed = (write ? "removed " : "would remove ") + backup;
  switch (match) {
    case BackupMatch::kOtherFile:
      CannotRepair(path, "it changed after an interrupted run left its backup " + backup +
                             "; compare the two, then move the backup away");
    case BackupMatch::kOriginal:
      remove();
      if (parsed.state == BackupState::kHeaderOnly) {
        return removed + ", the unfinished backup of an interrupted run; " + Quoted(path) +
               " was not changed";
      }
      return removed + ", left by an interrupted run; " + Quoted(path) + " was whole";
    case BackupMatch::kRewritten:
      remove();
      return removed + ", left by an interrupted run; " + Quoted(path) + " was whole";
    case BackupMatch::kInterrupted:
      break;
  }
  if (parsed.state == BackupState::kHeaderOnly) {
    CannotRepair(path, "an interrupted run left it half rewritten, and its backup " + backup +
                           " was cut short by a power failure; compare the two, then move the "
                           "backup away");
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
  return (write ? "put back " : "would put back ") + Quoted(path) + " from its backup " + backup +
         ", left by an interrupted run";
}

}  // namespace plindor::repair
