#pragma once

#include <span>
#include <string>
#include <string_view>

#include "repair/disk_file.h"
#include "repair/file_system.h"

namespace plindor::repair {

// Fails, changing nothing, unless `file` is still what was read: the same file at its name,
// with the length and modification time of `read`.
void CheckUnchanged(DiskFile& file, const std::string& path, const FileStamp& read);

// One file's rewrite, from `before` (its content as read, with stamp `read`) to `after`.
struct PreparedRewrite {
  PreparedRewrite(DiskFile& disk_file, const std::string& shown_path, const FileStamp& stamp,
                  std::string_view old_text, std::string_view new_text);

  DiskFile* file;
  const std::string* path;  // for messages
  const FileStamp* read;
  std::string_view before;
  std::string_view after;
  std::size_t offset;  // of the first byte that differs
  bool changed;        // whether `after` differs from `before`
};

// Readies a rewrite: checks that the file is unchanged since it was read, then writes the backup of
// the bytes that will change (from the first one that differs to the end), not yet flushed. Writes
// nothing when nothing changes. The file is not touched.
void PrepareRewrite(const PreparedRewrite& rewrite);

// Rewrites prepared files, in order. Whatever happens, even a kill or a power cut at any
// moment, every file afterwards holds its `before`, or its `after`, or can be put back from
// the backup beside it:
//   1. the backups are put on the disk, before any file's first byte changes;
//   2. each file, checked once more for changes by other programs, is overwritten in place
//      from its first changed byte;
//   3. the files are put on the disk, and only then are the backups removed.
// When overwriting a file fails, its `before` is put back; when that fails too, its backup
// stays and the failure names it. The files after it are not touched. A file whose content
// doesn't change is written back without a backup or a flush: its bytes on disk never differ
// from either version.
CommitResult CommitRewrites(std::span<const PreparedRewrite> rewrites);

// Deals with a backup an interrupted rewrite left beside `file`, whose content, just read, is
// `content`: when the rewrite got partway, puts the file back, so that `content` is as it was
// before that rewrite. With `write` false (a preview) nothing on disk changes and only
// `content` is put back. Returns the sentence the log shows for it, or "" when there was no
// backup. Throws RepairError when the backup can't be trusted or used.
std::string RecoverBackup(DiskFile& file, const std::string& path, std::string& content,
                          bool write);

}  // namespace plindor::repair
