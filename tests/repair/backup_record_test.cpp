#include "repair/backup_record.h"

#include <gtest/gtest.h>

#include <string>

namespace plindor::repair {
namespace {

const std::string kBefore = "keep this part; old tail of the file\r\n";
const std::string kAfter = "keep this part; the new, longer tail of the file\r\n";

std::string Encoded(const BackupRecord& record) {
  return EncodeBackupHeader(record) + std::string(record.old_tail);
}

TEST(BackupRecordTest, HoldsTheOldBytesFromTheFirstChangeAndReadsBackWhole) {
  const BackupRecord record = BackupRecord::For(kBefore, kAfter);
  EXPECT_EQ(record.offset, kBefore.find("old"));
  EXPECT_EQ(record.old_tail, "old tail of the file\r\n");
  const std::string bytes = Encoded(record);
  const ParsedBackup parsed = ParseBackup(bytes);
  ASSERT_EQ(parsed.state, BackupState::kValid);
  EXPECT_EQ(parsed.record.old_tail, record.old_tail);
  EXPECT_EQ(RestoredContent(kAfter, parsed.record), kBefore);
}

// A backup cut short, or damaged, never passes for one to restore from; one whose header is
// intact still tells what the file held.
TEST(BackupRecordTest, AnyUnfinishedBackupIsKnownAsSuch) {
  const std::string bytes = Encoded(BackupRecord::For(kBefore, kAfter));
  const std::size_t header = bytes.size() - (kBefore.size() - kBefore.find("old"));
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_EQ(ParseBackup(bytes.substr(0, cut)).state,
              cut < header ? BackupState::kUnknown : BackupState::kHeaderOnly)
        << cut;
  }
  EXPECT_EQ(ParseBackup(std::string(bytes.size(), '\0')).state, BackupState::kUnknown);
  for (std::size_t at = 16; at < bytes.size(); at += 7) {
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
    EXPECT_EQ(ParseBackup(damaged).state,
              at < header ? BackupState::kUnknown : BackupState::kHeaderOnly)
        << at;
  }
  const ParsedBackup header_only = ParseBackup(bytes.substr(0, header + 2));
  EXPECT_EQ(MatchBackup(kBefore, header_only.record), BackupMatch::kOriginal);
  EXPECT_EQ(ParseBackup("Notes about Main.frm\n").state, BackupState::kUnknown);
}

TEST(BackupRecordTest, TellsHowTheFileRelatesToTheBackup) {
  const BackupRecord record = BackupRecord::For(kBefore, kAfter);
  const std::size_t offset = kBefore.find("old");
  EXPECT_EQ(MatchBackup(kBefore, record), BackupMatch::kOriginal);
  EXPECT_EQ(MatchBackup(kAfter, record), BackupMatch::kRewritten);
  EXPECT_EQ(MatchBackup(kAfter.substr(0, offset + 3) + kBefore.substr(offset + 3), record),
            BackupMatch::kInterrupted);
  EXPECT_EQ(MatchBackup(kAfter.substr(0, offset), record), BackupMatch::kInterrupted);
  EXPECT_EQ(MatchBackup("KEEP" + kAfter.substr(4), record), BackupMatch::kOtherFile);
  EXPECT_EQ(MatchBackup("keep", record), BackupMatch::kOtherFile);
}

}  // namespace
}  // namespace plindor::repair
