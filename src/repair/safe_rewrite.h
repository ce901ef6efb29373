#pragma once

#include <string>
#include <string_view>

#include "repair/disk_file.h"

namespace plindor::repair {

// Fails, changing nothing, unless `file` is still what was read: the same file at its name,
// with the length and modification time of `read`.
void CheckUnchanged(DiskFile& file, const std::string& path, const FileStamp& read);

// Rewrites `file` from `before` (its content, as read with stamp `read`) to `after`, through
// its handle. Whatever happens, even a kill or a power cut at any moment, the file afterwards
// holds `before`, or `after`, or can be put back from the backup beside it:
//   1. the bytes from the first one that changes to the end go into the backup, which is put on
//      the disk before the file's first byte changes;
//   2. the file is overwritten in place and put on the disk;
//   3. the backup is removed.
// A failure in step 2 puts `before` back; when that fails too, the backup stays and the error
// names it. A file whose content doesn't change is written back without a backup or a flush:
// its bytes on disk never differ from either version. `path` is for messages.
void SafeRewrite(DiskFile& file, const std::string& path, const FileStamp& read,
                 std::string_view before, std::string_view after);

// Deals with a backup an interrupted rewrite left beside `file`, whose content, just read, is
// `content`: when the rewrite got partway, puts the file back, so that `content` is as it was
// before that rewrite. With `write` false (a preview) nothing on disk changes and only
// `content` is put back. Returns the sentence the log shows for it, or "" when there was no
// backup. Throws RepairError when the backup can't be trusted or used.
std::string RecoverBackup(DiskFile& file, const std::string& path, std::string& content,
                          bool write);

}  // namespace plindor::repair
