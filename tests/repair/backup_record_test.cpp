#include "repair/backup_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace plindor::repair {
namespace {

constexpr std::uint64_t kPage = BackupRecord::kPage;

// A form of a few pages whose repair, near its start, moves every later byte.
std::string Form(std::string_view library) {
  std::string form = "VERSION 5.00\r\nBegin " + std::string(library) + ".ListView L\r\n";
  for (int i = 0; form.size() < 3 * kPage + 500; ++i) {
    form += "   Caption = \"Row " + std::to_string(i) + "\"\r\n";
  }
  return form;
}
const std::string kOld = Form("ComctlLib");
const std::string kNew = Form("MSComctlLib");  // longer
const std::string kName = "F0.frm";
constexpr std::uint64_t kId = 42;

std::string Backup(std::string_view before, std::string_view after, const std::string& name = kName,
                   std::uint64_t id = kId) {
  const BackupRecord record = BackupRecord::For(name, id, before, after);
  return EncodeBackupHeader(record) + std::string(record.old_tail);
}

// A backup whose header says it holds more old bytes than this machine's memory.
std::string TooLargeBackup() {
  BackupRecord record = BackupRecord::For(kName, kId, kOld, kNew);
  record.old_size = record.offset + MemoryLimit() + 1;
  return EncodeBackupHeader(record);
}

// What a rewrite from `before` to `after` killed after writing up to `cut` leaves: the new
// bytes up to there, the old ones after, and the length not yet cut to the new one.
std::string CutShort(std::string_view before, std::string_view after, std::size_t cut) {
  std::string torn(after.substr(0, cut));
  if (cut < before.size()) torn += before.substr(cut);
  return torn;
}

constexpr FoundBackup kOurs{0, true, 1, true, false};

struct Case {
  std::string what;
  std::string content;  // the file as found
  std::string backup;   // the bytes under the backup's name
  Verdict verdict;
  FoundBackup found = kOurs;        // its facts; size from `backup`
  std::size_t declared = SIZE_MAX;  // where it is longer than its header says
};

Judgement Judge(const Case& row, std::uint64_t* read_up_to = nullptr) {
  FoundBackup found = row.found;
  found.size = row.backup.size();
  const BackupReader read = [&](std::uint64_t offset, std::uint64_t size, std::string& out) {
    EXPECT_TRUE(found.regular && found.links == 1 && found.owner_trusted && !found.others_may_write)
        << "read before it was trusted";
    out = row.backup.substr(std::min<std::size_t>(offset, row.backup.size()), size);
    if (read_up_to) *read_up_to = std::max(*read_up_to, offset + out.size());
    return Status();
  };
  Judgement judgement;
  EXPECT_TRUE(JudgeBackup(found, read, kName, kId, row.content, judgement).ok());
  return judgement;
}

// Every state a kill or a power cut can leave a rewrite in is told apart from every state it
// can't: those are a person's business.
TEST(BackupRecordTest, TellsWhatALeftoverBackupProves) {
  const std::string backup = Backup(kOld, kNew);
  const std::string header = EncodeBackupHeader(BackupRecord::For(kName, kId, kOld, kNew));
  std::string edited_end = kOld;
  edited_end.insert(kOld.size() - 10, "X");
  std::string edited_start = kNew;
  edited_start[3] = 'x';
  const std::string torn = CutShort(kOld, kNew, 2 * kPage);
  std::vector<Case> cases = {
      {"old", kOld, backup, Verdict::kOriginal},
      {"new", kNew, backup, Verdict::kRewritten},
      {"edited since, near its end", edited_end, backup, Verdict::kChanged},
      {"edited since, before the change", edited_start, backup, Verdict::kChanged},
      {"another file's", torn, Backup(kOld, kNew, kName, kId + 1), Verdict::kChanged},
      {"found under another name", torn, Backup(kOld, kNew, "F1.frm"), Verdict::kChanged},
      // Where the file holds old or new content, whose backup it was doesn't matter.
      {"another file's, the file new", kNew, Backup(kOld, kNew, "F1.frm"), Verdict::kRewritten},
      {"empty", kOld, "", Verdict::kUnfinished},
      {"zeroed by a power cut", kOld, std::string(40, '\0'), Verdict::kUnfinished},
      {"longer than it declares", kOld, backup + "x", Verdict::kUntrusted, kOurs, backup.size()},
      {"someone's notes", kOld, "Notes about F0.frm\n", Verdict::kUnknown},
      {"zeroed whole by a power cut", kOld, std::string(backup.size(), '\0'), Verdict::kUnfinished},
      {"of an older version", kOld,
       header.substr(0, 16) + std::string(1, '\1') + std::string(10, '\0'), Verdict::kUnknown},
      {"power cut kept the new bytes, not the new length", kNew.substr(0, kOld.size()), backup,
       Verdict::kInterrupted},
      {"declares more than memory holds", kOld, TooLargeBackup(), Verdict::kTooLarge},
      {"not a regular file", kOld, backup, Verdict::kUntrusted, {0, false, 1, true, false}},
      {"with other names", kOld, backup, Verdict::kUntrusted, {0, true, 2, true, false}},
      {"another user's", kOld, backup, Verdict::kUntrusted, {0, true, 1, false, false}},
      {"writable by others", kOld, backup, Verdict::kUntrusted, {0, true, 1, true, true}},
  };
  for (std::size_t cut = 1; cut < header.size(); cut += 7) {
    cases.push_back({"cut inside its header at " + std::to_string(cut), kNew, backup.substr(0, cut),
                     Verdict::kUnfinished});
  }
  for (std::size_t cut = header.size(); cut < backup.size(); cut += 301) {
    cases.push_back({"cut in its old bytes at " + std::to_string(cut), kOld, backup.substr(0, cut),
                     Verdict::kUnfinished});
    cases.push_back({"cut at " + std::to_string(cut) + ", the file no longer old", kNew,
                     backup.substr(0, cut), Verdict::kChanged});
  }
  std::string damaged = backup;
  damaged[header.size() / 2] ^= 0x20;
  cases.push_back({"damaged in its header", kOld, damaged, Verdict::kUnknown});
  // Both ways: a growing rewrite passes the old length, a shrinking one has yet to be cut.
  for (const auto& [before, after] : {std::pair{kOld, kNew}, std::pair{kNew, kOld}}) {
    const std::uint64_t offset = BackupRecord::For(kName, kId, before, after).offset;
    for (std::uint64_t cut = offset - offset % kPage + kPage; cut <= after.size(); cut += kPage) {
      cases.push_back({"killed at " + std::to_string(cut) + " of " + std::to_string(after.size()),
                       CutShort(before, after, cut), Backup(before, after), Verdict::kInterrupted});
    }
    cases.push_back({"killed before the cut to " + std::to_string(after.size()),
                     CutShort(before, after, after.size()), Backup(before, after),
                     after.size() < before.size() ? Verdict::kInterrupted : Verdict::kRewritten});
    // A page written halfway is nothing a rewrite leaves.
    cases.push_back({"torn inside a page", CutShort(before, after, kPage + 100),
                     Backup(before, after), Verdict::kChanged});
  }

  for (const Case& row : cases) {
    SCOPED_TRACE(row.what);
    std::uint64_t read_up_to = 0;
    const Judgement judgement = Judge(row, &read_up_to);
    EXPECT_EQ(judgement.verdict, row.verdict);
    EXPECT_LE(read_up_to, std::min(row.backup.size(), row.declared)) << "read beyond its header";
    if (row.verdict == Verdict::kInterrupted) {
      EXPECT_EQ(RestoredContent(row.content, judgement), row.backup == backup ? kOld : kNew);
    }
  }
}

}  // namespace
}  // namespace plindor::repair
