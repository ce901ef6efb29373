#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plindor::repair {

// The backup a rewrite leaves next to a file while it overwrites it: the bytes about to be
// overwritten, from the first byte that changes to the old end, and what is needed to put them
// back and to recognise the file they belong to. Written and flushed before the file's first
// byte changes; removed once the new content is on disk.
struct BackupRecord {
  // In the order the header holds them.
  std::uint64_t offset = 0;         // of the first byte that changes
  std::uint64_t old_size = 0;       // the file's length before the rewrite
  std::uint64_t new_size = 0;       // and after it
  std::uint64_t prefix_hash = 0;    // of the bytes before `offset`, which the rewrite keeps
  std::uint64_t old_tail_hash = 0;  // of the old bytes from `offset` on
  std::uint64_t new_hash = 0;       // of the whole new content
  std::string_view old_tail;        // the old bytes from `offset` on

  // The record for rewriting `before` as `after`; its `old_tail` points into `before`. When
  // nothing changes, only the offset and sizes are filled in.
  static BackupRecord For(std::string_view before, std::string_view after);
  // Where `after` first differs from `before`.
  static std::uint64_t OffsetOfChange(std::string_view before, std::string_view after);
};

// The record's fixed-size header; the backup file is this followed by the old tail.
std::string EncodeBackupHeader(const BackupRecord& record);

enum class BackupState {
  kValid,       // complete and intact
  kHeaderOnly,  // its header is intact but its old bytes are not: cut short by a power cut
  kUnknown,     // no intact header: not a backup this program made, or cut short in its header
};

struct ParsedBackup {
  BackupState state;
  // Meaningful unless kUnknown; its old_tail points into the parsed bytes, when kValid.
  BackupRecord record;
};

ParsedBackup ParseBackup(std::string_view bytes);

// How `content`, the file as found, relates to a backup's record; only the header's fields are
// used.
enum class BackupMatch {
  kOriginal,     // the rewrite never changed a byte: nothing to put back
  kRewritten,    // the rewrite finished: nothing to put back
  kInterrupted,  // the kept bytes are there but the rest is neither: the old tail must go back
  kOtherFile,    // the kept bytes differ: the file changed since, or the backup isn't its
};

BackupMatch MatchBackup(std::string_view content, const BackupRecord& record);

// `content` as it was before the interrupted rewrite: the kept bytes, then the old tail.
std::string RestoredContent(std::string_view content, const BackupRecord& record);

}  // namespace plindor::repair
