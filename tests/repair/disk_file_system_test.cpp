#include "repair/disk_file_system.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "repair/repair_error.h"
#include "temp_dir.h"

namespace plindor::repair {
namespace {

using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

std::string AllBytes() {
  std::string bytes;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  return bytes;
}

std::string Read(FileSystem& files, const std::string& path) {
  const auto stream = files.OpenTextFile(path, IoMode::kForReading);
  std::string text = stream->ReadAll();
  stream->Close();
  return text;
}

void Write(FileSystem& files, const std::string& path, std::string_view text) {
  const auto stream = files.OpenTextFile(path, IoMode::kForWriting);
  stream->Write(text);
  stream->Close();
}

// The message the engine raised, or "" when nothing was raised.
template <typename Action>
std::string FailureOf(Action action) {
  try {
    action();
  } catch (const RepairError& e) {
    return e.what();
  }
  return "";
}

class DiskFileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  DiskFileSystem files;
};

TEST_F(DiskFileSystemTest, EveryByteValueRoundTrips) {
  const std::string path = dir / "bytes.frm";
  WriteFile(path, AllBytes());
  EXPECT_EQ(Read(files, path), AllBytes());

  const std::string all = AllBytes();
  const std::string reversed(all.rbegin(), all.rend());
  Write(files, path, reversed);
  EXPECT_EQ(ReadFile(path), reversed);
}

TEST_F(DiskFileSystemTest, RewriteLeavesExactlyTheNewText) {
  const std::string path = dir / "a.frm";
  struct Row {
    std::string before, after;
  };
  for (const Row& row :
       {Row{"short", "a good deal longer\r\n"}, Row{"a good deal longer", "x"},
        Row{"same size", "SAME SIZE"}, Row{"", ""}, Row{"gone", ""}, Row{"", "\r\n"}}) {
    WriteFile(path, row.before);
    EXPECT_EQ(Read(files, path), row.before);
    Write(files, path, row.after);
    EXPECT_EQ(ReadFile(path), row.after) << "after rewriting \"" << row.before << "\"";
  }
}

TEST_F(DiskFileSystemTest, OpeningForWritingAndClosingEmptiesTheFile) {
  const std::string path = dir / "a.frm";
  WriteFile(path, "content");
  files.OpenTextFile(path, IoMode::kForWriting)->Close();
  EXPECT_EQ(ReadFile(path), "");
}

// The same file is rewritten, not replaced: links, owner and permissions stay.
TEST_F(DiskFileSystemTest, RewriteKeepsTheSameFile) {
  const std::string path = dir / "a.frm";
  const std::string link = dir / "link.frm";
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  Write(files, path, "new and longer");

  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(link), "new and longer");
}

TEST_F(DiskFileSystemTest, OpeningNeverCreatesAFile) {
  const plindor::testing::CurrentDirectory cwd(dir.path());
  EXPECT_EQ(FailureOf([&] { files.OpenTextFile("Forms\\Missing.frm", IoMode::kForReading); }),
            "cannot open \"Forms\\Missing.frm\" for reading: No such file or directory");
  EXPECT_EQ(FailureOf([&] { files.OpenTextFile("missing.frm", IoMode::kForWriting); }),
            "cannot open \"missing.frm\" for writing: No such file or directory");
  EXPECT_EQ(FailureOf([&] { files.OpenTextFile("", IoMode::kForReading); }),
            "cannot open \"\" for reading: No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.frm"));
}

TEST_F(DiskFileSystemTest, NameWithNulIsRefusedRatherThanCut) {
  const std::string path = dir / "Main.frm";
  WriteFile(path, "keep");
  const std::string with_nul = path + std::string("\0.bak", 5);
  EXPECT_EQ(FailureOf([&] { Write(files, with_nul, "changed"); }),
            "cannot open \"" + path + "\\0.bak\" for writing: the name contains a NUL character");
  EXPECT_EQ(ReadFile(path), "keep");
}

// Anything but a regular file is refused at once: a FIFO would block the read and a device
// might never end.
TEST_F(DiskFileSystemTest, OnlyRegularFilesAreOpened) {
  const std::string fifo = dir / "fifo.frm";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.frm");
  struct Row {
    std::string path, reason;
  };
  for (const Row& row : {Row{dir / "folder.frm", "Is a directory"}, Row{fifo, "not a regular file"},
                         Row{"/dev/zero", "not a regular file"}}) {
    EXPECT_EQ(FailureOf([&] { files.OpenTextFile(row.path, IoMode::kForReading); }),
              "cannot open \"" + row.path + "\" for reading: " + row.reason);
    EXPECT_EQ(FailureOf([&] { files.OpenTextFile(row.path, IoMode::kForWriting); }),
              "cannot open \"" + row.path + "\" for writing: " + row.reason);
  }
}

// Root reads and writes whatever the mode bits say, so the child gives up root first.
void DropRoot() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
}

TEST_F(DiskFileSystemTest, PermissionDeniedIsReportedAndTheFileKept) {
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string unreadable = dir / "unreadable.frm";
  const std::string read_only = dir / "read-only.frm";
  WriteFile(unreadable, "secret");
  WriteFile(read_only, "keep me");
  ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);

  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(FailureOf([&] { Read(child_files, unreadable); }).c_str(), stderr);
        std::fputs("|", stderr);
        std::fputs(FailureOf([&] { Write(child_files, read_only, "changed"); }).c_str(), stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^cannot open \".*unreadable.frm\" for reading: Permission denied\\|"
      "cannot open \".*read-only.frm\" for writing: Permission denied$");
  EXPECT_EQ(ReadFile(read_only), "keep me");
}

// With a file-size limit the growth can't be reserved; the write must fail before any byte
// of the file changes.
TEST_F(DiskFileSystemTest, WriteBeyondFileSizeLimitFailsWithOriginalBytesIntact) {
  const std::string path = dir / "grows.frm";
  const std::string original = AllBytes();
  WriteFile(path, original);
  EXPECT_EXIT(
      {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = original.size() + 100;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
        DiskFileSystem child_files;
        std::fputs(
            FailureOf([&] { Write(child_files, path, original + std::string(4096, 'x')); }).c_str(),
            stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^cannot write \".*grows.frm\": File too large$");
  EXPECT_EQ(ReadFile(path), original);
}

}  // namespace
}  // namespace plindor::repair
