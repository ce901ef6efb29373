#include "repair/backup_record.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <thread>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace plindor::repair {

namespace {

// Text, so that a person who opens the file sees what it is.
constexpr std::string_view kMagic = "PLINDOR BACKUP\r\n";
constexpr std::uint64_t kVersion = 1;
// Magic, then the record's six fields, the version first, and the hash of everything before it.
constexpr std::size_t kFields = 8;
constexpr std::size_t kHeaderSize = kMagic.size() + kFields * 8;
constexpr std::size_t kHeaderHashAt = kHeaderSize - 8;

std::uint64_t Hash(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

void Put(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Reads the 64-bit field at `at` and moves past it.
std::uint64_t Take(std::string_view bytes, std::size_t& at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  at += 8;
  return value;
}

}  // namespace

std::uint64_t BackupRecord::OffsetOfChange(std::string_view before, std::string_view after) {
  return static_cast<std::uint64_t>(std::ranges::mismatch(before, after).in1 - before.begin());
}

BackupRecord BackupRecord::For(std::string_view before, std::string_view after) {
  BackupRecord record;
  record.offset = OffsetOfChange(before, after);
  record.old_size = before.size();
  record.new_size = after.size();
  // Nothing changes, so no backup is written: no need to hash the whole file.
  if (record.offset == before.size() && before.size() == after.size()) return record;
  record.prefix_hash = Hash(before.substr(0, static_cast<std::size_t>(record.offset)));
  record.old_tail = before.substr(static_cast<std::size_t>(record.offset));
  // A large file's two hashes are taken at once.
  constexpr std::size_t kTogetherFrom = std::size_t{4} << 20;
  if (record.old_tail.size() < kTogetherFrom) {
    record.old_tail_hash = Hash(record.old_tail);
    record.new_hash = Hash(after);
    return record;
  }
  std::thread old_tail([&] { record.old_tail_hash = Hash(record.old_tail); });
  record.new_hash = Hash(after);
  old_tail.join();
  return record;
}

std::string EncodeBackupHeader(const BackupRecord& record) {
  std::string header(kMagic);
  for (const std::uint64_t field : {kVersion, record.offset, record.old_size, record.new_size,
                                    record.prefix_hash, record.old_tail_hash, record.new_hash}) {
    Put(header, field);
  }
  Put(header, Hash(header));
  return header;
}

ParsedBackup ParseBackup(std::string_view bytes) {
  if (!bytes.starts_with(kMagic) || bytes.size() < kHeaderSize) return {BackupState::kUnknown, {}};
  std::size_t at = kHeaderHashAt;
  if (Take(bytes, at) != Hash(bytes.substr(0, kHeaderHashAt))) return {BackupState::kUnknown, {}};
  at = kMagic.size();
  if (Take(bytes, at) != kVersion) return {BackupState::kUnknown, {}};
  BackupRecord record;
  for (std::uint64_t* field : {&record.offset, &record.old_size, &record.new_size,
                               &record.prefix_hash, &record.old_tail_hash, &record.new_hash}) {
    *field = Take(bytes, at);
  }
  if (record.offset > record.old_size) return {BackupState::kUnknown, {}};
  const std::string_view tail = bytes.substr(kHeaderSize);
  if (tail.size() != record.old_size - record.offset || Hash(tail) != record.old_tail_hash) {
    return {BackupState::kHeaderOnly, record};
  }
  record.old_tail = tail;
  return {BackupState::kValid, record};
}

BackupMatch MatchBackup(std::string_view content, const BackupRecord& record) {
  if (content.size() < record.offset ||
      Hash(content.substr(0, static_cast<std::size_t>(record.offset))) != record.prefix_hash) {
    return BackupMatch::kOtherFile;
  }
  const std::string_view tail = content.substr(static_cast<std::size_t>(record.offset));
  if (tail.size() == record.old_size - record.offset && Hash(tail) == record.old_tail_hash) {
    return BackupMatch::kOriginal;
  }
  if (content.size() == record.new_size && Hash(content) == record.new_hash) {
    return BackupMatch::kRewritten;
  }
  return BackupMatch::kInterrupted;
}

std::string RestoredContent(std::string_view content, const BackupRecord& record) {
  std::string restored(content.substr(0, static_cast<std::size_t>(record.offset)));
  restored += record.old_tail;
  return restored;
}

}  // namespace plindor::repair
