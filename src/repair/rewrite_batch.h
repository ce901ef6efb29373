#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/deferred_termination.h"
#include "repair/disk_file.h"
#include "repair/file_system.h"

namespace plindor::repair {

// The files of one commit and the crash-safety protocol that rewrites them in place. Whatever
// happens, even a kill or a power cut at any moment, every file afterwards holds its old
// content, or its new one, or can be put back from the backup beside it; and no other
// program's write is lost without the run saying so. In order:
//   1. Add: each file is checked unchanged since it was read, and the bytes about to be
//      overwritten (from its first changed byte to its old end) go into its backup, with the
//      proof of what it protects; the backup shows under its name only once whole. From the
//      first backup on, requests to end the program wait.
//   2. Commit: the backups are put on the disk; then each file is held against other
//      programs' opens, checked once more and overwritten in place from its first changed
//      byte; the files are put on the disk and checked to be still at their names and as the
//      rewrite left them; the backups go; the report hears of each file, and only then may a
//      request to end the program take effect.
//   3. On a failure, every file touched from the failing one on is put back from its old
//      content, unless another program wrote to it too; one that isn't put back keeps its
//      backup, which the failure names.
// Its destructor removes the backups of files never committed; the files were not touched.
class RewriteBatch final {
 public:
  RewriteBatch();
  ~RewriteBatch();
  RewriteBatch(const RewriteBatch&) = delete;
  RewriteBatch& operator=(const RewriteBatch&) = delete;

  // Readies the rewrite of `file` (shown as `path`) from `before`, read with stamp `read`, to
  // `after`; all four must live until the commit or Forget. Throws RepairError, leaving no
  // backup behind.
  void Add(DiskFile& file, const std::string& path, const FileStamp& read, std::string_view before,
           std::string_view after);
  // Drops the rewrite of `file`, which stays as it was.
  void Forget(const DiskFile& file);
  void Commit(const CommitReport& report);

  struct Rewrite;  // one file's

 private:
  // Rewrites `batch` and reports it; throws RepairError with the first failure.
  static void Run(std::vector<Rewrite>& batch, const CommitReport& report);

  std::vector<Rewrite> rewrites_;
  std::optional<DeferredTermination> hold_;
};

// Fails, saying what another program did to `file`, when it changed since it was read with
// stamp `read`.
Status ChangeSince(DiskFile& file, const FileStamp& read);

// Deals with what the folder holds under the backup name of `file`, whose content, just read
// with stamp `read`, is `content`: removes a backup whose rewrite never changed the file or
// finished, and puts the file back from one whose rewrite got partway, so that `content` is as it
// was before that rewrite. Refuses, touching nothing, a backup that doesn't prove it was made for
// this file as it is now. With `write` false (a preview) nothing on disk changes and only `content`
// is put back. Returns the sentence the log shows for it, or "" when there was no backup.
std::string RecoverBackup(DiskFile& file, const std::string& path, const FileStamp& read,
                          std::string& content, bool write);

}  // namespace plindor::repair
