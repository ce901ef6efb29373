#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/disk_file.h"

namespace plindor::repair {

// The backup a rewrite leaves next to a file while it overwrites it: the bytes about to be
// overwritten, from the first byte that changes to the old end, and the proof of what it
// protects: the file's name and identity, and enough to tell of every page of the file from
// the first change on whether it holds old bytes, new ones, or neither. Written and flushed
// before the file's first byte changes; removed once the new content is on disk.
struct BackupRecord {
  // A kill or a power cut tears a write page by page, aligned to the file's offsets.
  static constexpr std::uint64_t kPage = 4096;

  // In the order the header holds them.
  std::uint64_t id = 0;             // the file's identity on its volume
  std::uint64_t offset = 0;         // of the first byte that changes
  std::uint64_t old_size = 0;       // the file's length before the rewrite
  std::uint64_t new_size = 0;       // and after it
  std::uint64_t prefix_hash = 0;    // of the bytes before `offset`, which the rewrite keeps
  std::uint64_t old_tail_hash = 0;  // of the old bytes from `offset` on
  // Of the new bytes of the page that holds the old end, up to it: a power cut may keep them
  // but lose the new length.
  std::uint64_t old_end_hash = 0;
  std::string name;  // the file's name in its folder
  // Of the new content's pages, from the one that holds `offset` to the end.
  std::vector<std::uint64_t> new_pages;
  std::string_view old_tail;  // the old bytes from `offset` on

  // The record for rewriting `before` as `after`; its `old_tail` points into `before`. When
  // nothing changes, only the offset and sizes are filled in.
  static BackupRecord For(std::string name, std::uint64_t id, std::string_view before,
                          std::string_view after);
  bool Changes() const { return offset < old_size || old_size != new_size; }
};

// The record's header; the backup file is this followed by the old tail.
std::string EncodeBackupHeader(const BackupRecord& record);

// What a backup found beside a file proves, and so what becomes of it.
enum class Verdict {
  kUntrusted,    // a file this program can't have made: refused
  kUnknown,      // not a backup this version of the program made: refused
  kTooLarge,     // can't be held in memory: refused
  kChanged,      // the file changed since, or the backup is another file's: refused
  kUnfinished,   // cut short before it was on the disk, so the file was never touched: removed
  kOriginal,     // the file holds its old content: removed
  kRewritten,    // the file holds its new content: removed
  kInterrupted,  // every page holds old or new bytes: the old ones go back
};

struct Judgement {
  Verdict verdict = Verdict::kUnknown;
  std::string why;      // kUntrusted: what the backup is, or isn't
  BackupRecord record;  // where its header could be read
  std::string tail;     // where read whole: the old bytes from `record.offset` on
};

// Reads up to `size` bytes of the backup from `offset`, fewer at its end.
using BackupReader =
    std::function<Status(std::uint64_t offset, std::uint64_t size, std::string& out)>;

// Judges the backup `found` beside the file `name`, of identity `id`, that holds `content`;
// reads no byte before its facts are trusted, and none beyond what its header declares.
Status JudgeBackup(const FoundBackup& found, const BackupReader& read, std::string_view name,
                   std::uint64_t id, std::string_view content, Judgement& out);

// `content` as it was before the interrupted rewrite: the kept bytes, then the old tail.
std::string RestoredContent(std::string_view content, const Judgement& judgement);

}  // namespace plindor::repair
