#include "repair/rewrite_batch.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>
#include <utility>

#include "repair/backup_record.h"
#include "repair/repair_error.h"

namespace plindor::repair {

using Part = DiskFile::Part;

struct RewriteBatch::Rewrite {
  DiskFile* file;
  const std::string* path;  // for messages
  const FileStamp* read;
  std::string_view before;
  std::string_view after;
  BackupRecord record;
  FileStamp left = {};  // what the overwrite left

  std::size_t offset() const { return static_cast<std::size_t>(record.offset); }
  bool Changes() const { return record.Changes(); }
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

// File systems whose flush of the whole file system puts every file and name on the disk;
// elsewhere (FUSE, network file systems, Windows) each file is flushed on its own. In order:
// ext2 to ext4, xfs, btrfs, f2fs, tmpfs (nothing to reach), jfs, bcachefs.
bool FlushesWhole(std::uint64_t type) {
  constexpr std::uint64_t kTrusted[] = {0xef53,     0x58465342, 0x9123683e, 0xf2f52010,
                                        0x01021994, 0x3153464a, 0xca451a4e};
  return std::ranges::find(kTrusted, type) != std::end(kTrusted);
}

// Those that copy what is overwritten: btrfs, zfs, bcachefs.
bool CopiesOnWrite(std::uint64_t type) {
  return type == 0x9123683e || type == 0x2fc12fc1 || type == 0xca451a4e;
}

// Writes `tail` from `offset` on and makes `offset + tail` the length. Not flushed. With
// `length`, the file's length now, another program's write that changes it stops the overwrite
// before it is lost (kChanged), and a length already right is not cut, which could only lose it.
Status Overwrite(DiskFile& file, std::uint64_t offset, std::string_view tail,
                 std::uint64_t* length = nullptr) {
  const std::uint64_t size = offset + tail.size();
  if (Status status = file.Reserve(size); !status.ok()) return status;
  if (Status status = file.WriteAt(Part::kFile, offset, tail, length); !status.ok()) return status;
  if (Status status = length ? file.CheckLength(*length) : Status(); !status.ok()) return status;
  return length && *length == size ? Status() : file.Truncate(size);
}

// Puts the old content back, on the disk itself.
Status Restore(const Rewrite& rewrite) {
  Status status = Overwrite(*rewrite.file, rewrite.offset(), rewrite.record.old_tail);
  return status.ok() ? rewrite.file->Flush(Part::kFile) : status;
}

// Puts on the disk, for the files of `rewrites` that change, their backups and the backups'
// folders (`part` kBackup) or the files themselves (kFile). Each thing once, and each file
// system once where its own flush is trusted; one file alone on its own.
Status Flush(std::span<const Rewrite> rewrites, Part part) {
  const auto changing = std::ranges::count_if(rewrites, &Rewrite::Changes);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> flushed;  // volumes, and folders
  const auto first_time = [&](std::uint64_t volume, std::uint64_t folder) {
    if (std::ranges::find(flushed, std::pair{volume, folder}) != flushed.end()) return false;
    flushed.emplace_back(volume, folder);
    return true;
  };
  for (const Rewrite& rewrite : rewrites) {
    if (!rewrite.Changes()) continue;
    DiskFile& file = *rewrite.file;
    VolumeFacts volume;
    FileStamp at;
    Status status = file.Volume(part, volume);
    if (status.ok()) status = file.Stamp(at, part);
    if (status.ok() && changing > 1 && FlushesWhole(volume.type)) {
      if (first_time(at.volume, 0)) status = file.FlushVolume(part);
    } else if (status.ok()) {
      status = file.Flush(part);
      // The backup's name must survive a power cut as surely as its bytes.
      if (status.ok() && part == Part::kBackup && file.Stamp(at, Part::kFolder).ok() &&
          first_time(at.volume, at.id)) {
        status = file.Flush(Part::kFolder);
      }
    }
    if (!status.ok()) return status;
  }
  return {};
}

// Writes the backup of `rewrite` whole, then gives it its name; on failure nothing is left.
Status WriteBackup(const Rewrite& rewrite) {
  const BackupRecord& record = rewrite.record;
  const std::string header = EncodeBackupHeader(record);
  DiskFile& file = *rewrite.file;
  Status status = file.CreateBackup();
  if (!status.ok()) return status;
  status = file.WriteAt(Part::kBackup, 0, header);
  if (status.ok()) status = file.WriteAt(Part::kBackup, header.size(), record.old_tail);
  if (status.ok()) status = file.PublishBackup();
  if (!status.ok()) (void)file.RemoveBackup();
  return status;
}

// Removes the backups of `rewrites`, but for those `keep` names. A backup that stays behind by
// accident is recognised and removed by the next run.
void RemoveBackups(std::span<const Rewrite> rewrites, const std::vector<bool>& keep = {}) {
  for (std::size_t i = 0; i < rewrites.size(); ++i) {
    if (rewrites[i].Changes() && !(i < keep.size() && keep[i])) {
      (void)rewrites[i].file->RemoveBackup();
    }
  }
}

}  // namespace

Status ChangeSince(DiskFile& file, const FileStamp& read) {
  FileStamp now;
  FileStamp at_name;
  if (Status status = file.Stamp(now); !status.ok()) return status;
  if (!file.StampAtName(at_name).ok() || !at_name.SameFile(read)) {
    return Status("another program replaced, renamed or removed it since it was read");
  }
  if (now.size != read.size) return Status("another program changed its length since it was read");
  if (now.modified != read.modified || now.changed != read.changed) {
    return Status("another program changed it since it was read");
  }
  return {};
}

RewriteBatch::RewriteBatch() = default;

// Prepared but never committed: the files are untouched, so their backups are not needed.
RewriteBatch::~RewriteBatch() { RemoveBackups(rewrites_); }

void RewriteBatch::Add(DiskFile& file, const std::string& path, const FileStamp& read,
                       std::string_view before, std::string_view after) {
  Rewrite rewrite{&file,  &path, &read,
                  before, after, BackupRecord::For(file.name(), read.id, before, after)};
  if (Status change = ChangeSince(file, read); !change.ok()) {
    FailOn("cannot write", path, change.reason());
  }
  if (rewrite.Changes()) {
    VolumeFacts volume;
    if (file.Volume(Part::kFile, volume).ok() && CopiesOnWrite(volume.type)) {
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
  rewrites_.push_back(std::move(rewrite));
}

void RewriteBatch::Forget(const DiskFile& file) {
  const auto found = std::ranges::find(rewrites_, &file, &Rewrite::file);
  if (found == rewrites_.end()) return;
  RemoveBackups({&*found, 1});
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
  // Should memory run out, the backups stay, as a kill leaves them, and the next run puts back
  // what needs it.
  Run(batch, report);
}

void RewriteBatch::Run(std::vector<Rewrite>& batch, const CommitReport& report) {
  const std::span<const Rewrite> all(batch);
  if (Status status = Flush(all, Part::kBackup); !status.ok()) {
    RemoveBackups(all);
    const Rewrite& first = *std::ranges::find_if(batch, &Rewrite::Changes);
    const std::string failure = CannotWrite(
        first, "cannot put its backup " + first.Backup() + " on the disk: " + status.reason());
    report(0, failure);
    throw RepairError(failure);
  }

  // From each file's last check to the end, other programs' opens of it wait, where the
  // system lets them be held; where it doesn't, the stamps below tell what they did. Programs
  // reading a file are let finish first, for a moment, so that none reads half of each version.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  std::size_t done = 0;                      // files overwritten with their new content
  std::size_t touched = 0;                   // and those partly overwritten
  std::size_t written_first = batch.size();  // the one whose failure is another program's write
  std::string failure;
  for (; done < batch.size(); ++done) {
    Rewrite& rewrite = batch[done];
    while (rewrite.file->Hold().kind() == Status::Kind::kHeld &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (Status change = ChangeSince(*rewrite.file, *rewrite.read); !change.ok()) {
      failure = CannotWrite(rewrite, change.reason());
      break;
    }
    // A file that doesn't change is written back all the same, as every file of a run is, but
    // needs neither backup nor flush: its bytes on disk never differ from either version.
    std::uint64_t length = rewrite.read->size;
    Status status = rewrite.Changes()
                        ? Overwrite(*rewrite.file, rewrite.offset(),
                                    rewrite.after.substr(rewrite.offset()), &length)
                        : rewrite.file->WriteAt(Part::kFile, 0, rewrite.after, &length);
    if (status.ok()) status = rewrite.file->Stamp(rewrite.left);
    if (!status.ok()) {
      failure = CannotWrite(rewrite, status.reason());
      touched = done + 1;
      if (status.kind() == Status::Kind::kChanged) written_first = done;
      break;
    }
  }
  touched = std::max(touched, done);

  // Whether another program wrote to a file overwritten in full since its overwrite. Where a
  // hold keeps every other writer out for certain, there is nothing to check (and stamps may lag
  // behind the writes there).
  const auto written_meanwhile = [&](std::size_t i) {
    FileStamp now;
    return i == written_first || (i < done && !DiskFile::HoldKeepsWritersOut() &&
                                  (!batch[i].file->Stamp(now).ok() || now != batch[i].left ||
                                   now.size != batch[i].after.size()));
  };
  std::vector<bool> backup_stays(batch.size(), false);
  // The files kept, counted from the first; from there on every file touched goes back.
  std::size_t kept = done;
  if (Status status = Flush(all.first(done), Part::kFile); !status.ok()) {
    // Which of the new contents reached the disk is unknown.
    kept = 0;
    failure = CannotWrite(*std::ranges::find_if(batch, &Rewrite::Changes), status.reason());
  } else {
    for (std::size_t i = 0; i < done && kept == done; ++i) {
      // A program that saves by replacing the file may have read it halfway through.
      FileStamp at_name;
      const Rewrite& rewrite = batch[i];
      if (rewrite.Changes() &&
          (!rewrite.file->StampAtName(at_name).ok() || !at_name.SameFile(*rewrite.read))) {
        kept = i;
        failure = CannotWrite(
            rewrite, "another program replaced, renamed or removed it while it was rewritten");
      } else if (written_meanwhile(i)) {
        kept = written_first = i;
        failure = CannotWrite(rewrite, "another program wrote to it while it was rewritten");
      }
    }
  }

  for (std::size_t i = kept; i < touched; ++i) {
    const Rewrite& rewrite = batch[i];
    if (!rewrite.Changes()) continue;
    // Putting the old bytes back would wipe out the other program's write too.
    if (written_meanwhile(i)) {
      if (i != written_first) {
        failure += "; another program wrote to " + Quoted(*rewrite.path) + " too";
      }
      failure += "; its content before the rewrite is kept in its backup " + rewrite.Backup();
      backup_stays[i] = true;
    } else if (Status status = Restore(rewrite); !status.ok()) {
      failure += "; putting back the original content of " + Quoted(*rewrite.path) +
                 " failed too: " + status.reason() + "; it is kept in its backup " +
                 rewrite.Backup();
      backup_stays[i] = true;
    }
  }
  for (const Rewrite& rewrite : batch) rewrite.file->Release();
  RemoveBackups(all, backup_stays);
  // Told while requests to end the program still wait, so that no finished work goes unlogged.
  for (std::size_t i = 0; i < kept; ++i) report(i, {});
  if (failure.empty()) return;
  report(kept, failure);
  throw RepairError(failure);
}

std::string RecoverBackup(DiskFile& file, const std::string& path, const FileStamp& read,
                          std::string& content, bool write) {
  const std::string backup = Quoted(file.backup_name());
  std::optional<FoundBackup> found;
  Judgement judgement;
  Status status = file.OpenBackup(found);
  if (status.ok() && found) {
    const auto reader = [&](std::uint64_t offset, std::uint64_t size, std::string& out) {
      return file.ReadAt(Part::kBackup, offset, size, out);
    };
    status = JudgeBackup(*found, reader, file.name(), read.id, content, judgement);
  }
  if (!status.ok()) CannotRepair(path, "cannot read its backup " + backup + ": " + status.reason());
  if (!found) return {};

  // Only a backup that proves it was made for this file as it is now is used, or removed.
  const std::string compare = "; compare the two, then move the backup away";
  const auto remove = [&] {
    if (!write) return;
    if (Status removed = file.RemoveBackup(); !removed.ok()) {
      CannotRepair(path, "cannot remove its backup " + backup + ": " + removed.reason());
    }
  };
  const std::string removed = (write ? "removed " : "would remove ") + backup;
  switch (judgement.verdict) {
    case Verdict::kUntrusted:
      CannotRepair(path, "its backup " + backup + " " + judgement.why +
                             ", as no backup this program makes is" + compare);
    case Verdict::kUnknown:
      CannotRepair(
          path, backup + " beside it is not a backup this version of the program made" + compare);
    case Verdict::kTooLarge:
      CannotRepair(path, "its backup " + backup + " cannot be read: " + TooLarge(found->size));
    case Verdict::kChanged:
      CannotRepair(path, "it changed after an interrupted run left its backup " + backup + compare);
    case Verdict::kUnfinished:
      remove();
      return removed + ", the unfinished backup of an interrupted run; " + Quoted(path) +
             " was not changed";
    case Verdict::kOriginal:
    case Verdict::kRewritten:
      remove();
      return removed + ", left by an interrupted run; " + Quoted(path) + " was whole";
    case Verdict::kInterrupted:
      break;
  }
  if (write) {
    const DeferredTermination until_consistent;
    (void)file.Hold();
    std::uint64_t length = read.size;
    Status put_back = ChangeSince(file, read);
    if (put_back.ok()) put_back = Overwrite(file, judgement.record.offset, judgement.tail, &length);
    if (put_back.ok()) put_back = file.Flush(Part::kFile);
    file.Release();
    if (!put_back.ok()) {
      CannotRepair(path, "putting it back from its backup " + backup +
                             ", left by an interrupted run, failed: " + put_back.reason());
    }
    remove();
  }
  content = RestoredContent(content, judgement);
  return (write ? "put back " : "would put back ") + Quoted(path) + " from its backup " + backup +
         ", left by an interrupted run";
}

}  // namespace plindor::repair
