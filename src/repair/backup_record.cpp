#include "repair/backup_record.h"

#include <algorithm>
#include <cstddef>
#include <future>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace plindor::repair {

namespace {

// Text, so that a person who opens the file sees what it is.
constexpr std::string_view kMagic = "PLINDOR BACKUP\r\n";
constexpr std::uint64_t kVersion = 2;
// Magic, version, the header's size, the record's seven numbers and the name's length; then the
// name, the page hashes, and the hash of everything before it.
constexpr std::size_t kFixedSize = kMagic.size() + 10 * 8;
// Names are far shorter: a longer one is not ours.
constexpr std::uint64_t kMaxName = 4096;
constexpr std::uint64_t kPage = BackupRecord::kPage;

std::uint64_t Hash(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

std::string_view Slice(std::string_view bytes, std::uint64_t from, std::uint64_t to) {
  return bytes.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

std::uint64_t FirstPage(std::uint64_t offset) { return offset - offset % kPage; }

std::uint64_t PageCount(std::uint64_t offset, std::uint64_t new_size) {
  const std::uint64_t first = FirstPage(offset);
  return new_size > first ? (new_size - first + kPage - 1) / kPage : 0;
}

std::uint64_t HeaderSize(std::uint64_t name_size, std::uint64_t pages) {
  return kFixedSize + name_size + 8 * pages + 8;
}

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

// Whether `content` is all the old content, told by the hashes alone.
bool HoldsOldContent(std::string_view content, const BackupRecord& record) {
  return content.size() == record.old_size &&
         Hash(Slice(content, 0, record.offset)) == record.prefix_hash &&
         Hash(Slice(content, record.offset, content.size())) == record.old_tail_hash;
}

// Page by page from the first change: each page old or new, the length anywhere a rewrite
// passes through.
Verdict Match(std::string_view content, const BackupRecord& record, std::string_view tail) {
  const std::uint64_t size = content.size();
  if (size < std::min(record.old_size, record.new_size) ||
      size > std::max(record.old_size, record.new_size) ||
      Hash(Slice(content, 0, record.offset)) != record.prefix_hash) {
    return Verdict::kChanged;
  }
  const std::uint64_t old_end_page = FirstPage(record.old_size);
  bool all_old = size == record.old_size;
  bool all_new = size == record.new_size;
  std::size_t k = 0;
  for (std::uint64_t page = FirstPage(record.offset); page < size; page += kPage, ++k) {
    const std::uint64_t end = std::min(page + kPage, size);
    const std::uint64_t from = std::max(page, record.offset);
    const auto old_from = [&](std::uint64_t at) {
      return end <= record.old_size &&
             Slice(content, at, end) == Slice(tail, at - record.offset, end - record.offset);
    };
    // The page of the new end, before the cut to the new length, ends in old bytes; the page of
    // the old end may hold new bytes up to it, when a power cut kept them but not the length.
    const std::uint64_t new_end = std::min(end, record.new_size);
    const bool old = old_from(from);
    const bool now =
        (k < record.new_pages.size() && new_end == std::min(page + kPage, record.new_size) &&
         Hash(Slice(content, page, new_end)) == record.new_pages[k] &&
         (new_end == end || old_from(new_end))) ||
        (page == old_end_page && end == record.old_size && size < record.new_size &&
         Hash(Slice(content, page, end)) == record.old_end_hash);
    if (!old && !now) return Verdict::kChanged;
    all_old = all_old && old;
    all_new = all_new && now;
  }
  return all_old ? Verdict::kOriginal : all_new ? Verdict::kRewritten : Verdict::kInterrupted;
}

}  // namespace

BackupRecord BackupRecord::For(std::string name, std::uint64_t id, std::string_view before,
                               std::string_view after) {
  BackupRecord record;
  record.id = id;
  record.name = std::move(name);
  record.offset =
      static_cast<std::uint64_t>(std::ranges::mismatch(before, after).in1 - before.begin());
  record.old_size = before.size();
  record.new_size = after.size();
  // Nothing changes, so no backup is written: no need to hash the file.
  if (!record.Changes()) return record;
  record.prefix_hash = Hash(Slice(before, 0, record.offset));
  record.old_tail = Slice(before, record.offset, before.size());
  if (record.old_size < record.new_size) {
    record.old_end_hash = Hash(Slice(after, FirstPage(record.old_size), record.old_size));
  }
  // A large file's old and new bytes are hashed at once.
  const auto launch =
      record.old_tail.size() < (std::size_t{4} << 20) ? std::launch::deferred : std::launch::async;
  auto old_tail = std::async(launch, [&] { return Hash(record.old_tail); });
  record.new_pages.resize(static_cast<std::size_t>(PageCount(record.offset, after.size())));
  for (std::size_t k = 0; k < record.new_pages.size(); ++k) {
    const std::uint64_t page = FirstPage(record.offset) + k * kPage;
    record.new_pages[k] = Hash(Slice(after, page, std::min(page + kPage, record.new_size)));
  }
  record.old_tail_hash = old_tail.get();
  return record;
}

std::string EncodeBackupHeader(const BackupRecord& record) {
  std::string header(kMagic);
  for (const std::uint64_t field :
       {kVersion, HeaderSize(record.name.size(), record.new_pages.size()), record.id, record.offset,
        record.old_size, record.new_size, record.prefix_hash, record.old_tail_hash,
        record.old_end_hash, std::uint64_t{record.name.size()}}) {
    Put(header, field);
  }
  header += record.name;
  for (const std::uint64_t page : record.new_pages) Put(header, page);
  Put(header, Hash(header));
  return header;
}

Status JudgeBackup(const FoundBackup& found, const BackupReader& read, std::string_view name,
                   std::uint64_t id, std::string_view content, Judgement& out) {
  out = {};
  const auto verdict = [&](Verdict found_to_be, std::string why = {}) {
    out.verdict = found_to_be;
    out.why = std::move(why);
    return Status();
  };
  if (!found.regular) return verdict(Verdict::kUntrusted, "is not a regular file");
  if (found.links != 1) return verdict(Verdict::kUntrusted, "has other names (hard links)");
  if (!found.owner_trusted) return verdict(Verdict::kUntrusted, "is owned by another user");
  if (found.others_may_write) return verdict(Verdict::kUntrusted, "may be changed by other users");

  std::string header;
  if (Status status = read(0, kFixedSize, header); !status.ok()) return status;
  // A header never put on the disk reads as nothing, or as zeros after a power cut: the file
  // can't have been touched since.
  if (std::ranges::count(header, '\0') == std::ssize(header)) return verdict(Verdict::kUnfinished);
  std::size_t at = kMagic.size();
  if (!kMagic.starts_with(Slice(header, 0, std::min(header.size(), kMagic.size()))) ||
      (header.size() >= at + 8 && Take(header, at) != kVersion)) {
    return verdict(Verdict::kUnknown);
  }
  // Cut short in its header as it was written.
  if (header.size() < kFixedSize) return verdict(Verdict::kUnfinished);
  BackupRecord& record = out.record;
  const std::uint64_t header_size = Take(header, at);
  for (std::uint64_t* field : {&record.id, &record.offset, &record.old_size, &record.new_size,
                               &record.prefix_hash, &record.old_tail_hash, &record.old_end_hash}) {
    *field = Take(header, at);
  }
  const std::uint64_t name_size = Take(header, at);
  if (name_size > kMaxName || record.offset > record.old_size || record.new_size < record.offset ||
      header_size != HeaderSize(name_size, PageCount(record.offset, record.new_size))) {
    return verdict(Verdict::kUnknown);
  }
  if (header_size > MemoryLimit()) return verdict(Verdict::kTooLarge);
  if (found.size < header_size) return verdict(Verdict::kUnfinished);
  if (Status status = read(0, header_size, header); !status.ok()) return status;
  at = static_cast<std::size_t>(header_size) - 8;
  if (header.size() != header_size || Take(header, at) != Hash(Slice(header, 0, header_size - 8))) {
    return verdict(Verdict::kUnknown);
  }
  at = kFixedSize;
  record.name = header.substr(at, static_cast<std::size_t>(name_size));
  at += record.name.size();
  record.new_pages.resize(static_cast<std::size_t>(PageCount(record.offset, record.new_size)));
  for (std::uint64_t& page : record.new_pages) page = Take(header, at);

  const std::uint64_t tail_size = record.old_size - record.offset;
  if (found.size - header_size > tail_size) {
    return verdict(Verdict::kUntrusted, "is longer than its header declares");
  }
  if (tail_size > MemoryLimit()) return verdict(Verdict::kTooLarge);
  if (found.size - header_size == tail_size) {
    if (Status status = read(header_size, tail_size, out.tail); !status.ok()) return status;
  }
  // Cut short, or its old bytes spoilt: it was never all on the disk, so nothing was
  // overwritten, unless the file changed since.
  if (out.tail.size() != tail_size || Hash(out.tail) != record.old_tail_hash) {
    out.tail.clear();
    return verdict(HoldsOldContent(content, record) ? Verdict::kUnfinished : Verdict::kChanged);
  }
  // Only putting back needs the backup to be this file's: old or new content is what it is.
  const Verdict found_to_be = Match(content, record, out.tail);
  const bool ours = record.name == name && record.id == id;
  return verdict(found_to_be == Verdict::kInterrupted && !ours ? Verdict::kChanged : found_to_be);
}

std::string RestoredContent(std::string_view content, const Judgement& judgement) {
  std::string restored(Slice(content, 0, judgement.record.offset));
  restored += judgement.tail;
  return restored;
}

}  // namespace plindor::repair
