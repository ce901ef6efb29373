// The file service's behaviour that only POSIX systems have: permission bits, owners, file-size
// limits, FIFOs, symbolic links and sparse files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "disk_file_system_fixture.h"
#include "expect_repair_error.h"
#include "memory_file_system.h"
#include "repair/deferred_termination.h"
#include "repair/disk_file_system.h"
#include "temp_dir.h"

namespace plindor::repair {
namespace {

namespace fs = std::filesystem;
using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

using PosixDiskFileSystemTest = DiskFileSystemFixture;

// The same file is rewritten, not replaced: links, owner, permissions and extended attributes
// stay.
TEST_F(PosixDiskFileSystemTest, RewriteKeepsTheSameFile) {
  const std::string path = dir / "a.frm";
  const std::string link = dir / "link.frm";
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
  const bool has_xattr = ::setxattr(path.c_str(), "user.plindor", "kept", 4, 0) == 0;
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  Rewrite(path, "new and longer");

  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(link), "new and longer");
  if (has_xattr) {
    char value[8] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.plindor", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  }
}

TEST_F(PosixDiskFileSystemTest, OpeningNeverCreatesAFile) {
  EXPECT_EQ(testing::RepairErrorOf([&] { files.OpenForRepair(dir.path(), "Forms\\Missing.frm"); }),
            "cannot open \"Forms\\Missing.frm\" for reading: No such file or directory");
  EXPECT_EQ(testing::RepairErrorOf([&] { files.OpenForRepair(dir.path(), ""); }),
            "cannot open \"\" for reading: No such file or directory");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(PosixDiskFileSystemTest, NameWithNulIsRefusedRatherThanCut) {
  const std::string path = dir / "Main.frm";
  WriteFile(path, "keep");
  const std::string with_nul = path + std::string("\0.bak", 5);
  EXPECT_EQ(testing::RepairErrorOf([&] { Rewrite(with_nul, "changed"); }),
            "cannot open \"" + path + "\\0.bak\" for reading: the name contains a NUL character");
  EXPECT_EQ(ReadFile(path), "keep");
}

// Root reads and writes whatever the mode bits say, so the child gives up root first.
void DropRoot() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
}

TEST_F(PosixDiskFileSystemTest, PermissionDeniedIsReportedAndTheFileKept) {
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
        std::fputs(
            testing::RepairErrorOf([&] { child_files.OpenForRepair("", unreadable); }).c_str(),
            stderr);
        std::fputs("|", stderr);
        std::fputs(
            testing::RepairErrorOf([&] { child_files.OpenForRepair("", read_only); }).c_str(),
            stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^cannot open \".*unreadable.frm\" for reading: Permission denied\\|"
      "cannot write \".*read-only.frm\": it is read-only$");
  EXPECT_EQ(ReadFile(read_only), "keep me");
}

// The backup can't be made in a folder the user may not write to; the file is not touched.
TEST_F(PosixDiskFileSystemTest, NoBackupNoRewrite) {
  const std::string path = dir / "Sub/a.frm";
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((dir / "Sub").c_str(), 0555), 0);
  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(testing::RepairErrorOf([&] {
                     child_files.OpenForRepair(dir / "Sub", "a.frm");
                   }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^cannot open \"a.frm\" for writing: Permission denied$");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  EXPECT_EXIT(
      {
        DropRoot();
        DiskFileSystem child_files;
        std::fputs(testing::RepairErrorOf([&] {
                     const auto file = child_files.OpenForRepair(dir / "Sub", "a.frm");
                     file->Read();
                     testing::Rewrite(child_files, *file, "new");
                   }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^cannot write \"a.frm\": cannot make its backup \"a.frm.plindor-backup\": Permission "
      "denied$");
  EXPECT_EQ(ReadFile(path), "old");
}

// With a file-size limit the growth can't be claimed; the file keeps its old bytes.
TEST_F(PosixDiskFileSystemTest, WriteBeyondFileSizeLimitFailsWithOriginalBytesIntact) {
  const std::string path = dir / "grows.frm";
  const std::string original(1000, 'a');
  WriteFile(path, original);
  EXPECT_EXIT(
      {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = original.size() + 100;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
        GuardTermination();
        DiskFileSystem child_files;
        std::fputs(testing::RepairErrorOf([&] {
                     const auto file = child_files.OpenForRepair("", path);
                     file->Read();
                     testing::Rewrite(child_files, *file, original + std::string(4096, 'x'));
                   }).c_str(),
                   stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^cannot write \".*grows.frm\": File too large$");
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_FALSE(fs::exists(Backup(path)));
}

const std::string kOld = "VERSION 5.00\r\nBegin ComctlLib.ListView L\r\nEnd\r\n";
const std::string kNew = "VERSION 5.00\r\nBegin MSComctlLib.ListView L\r\nEnd\r\n";

// In a shared folder, a backup another user planted, or one anyone may change, would write
// their bytes into the form: it is refused, and nothing is touched or removed.
TEST_F(PosixDiskFileSystemTest, BackupThisProgramCannotHaveMadeIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a file as another user";
  const std::string form = dir / "Main.frm";
  const std::string backup = Backup(form);
  WriteFile(form, kOld);
  const std::string planted = BackupFor(form, "", kOld);
  struct Row {
    const char* why;
    void (*plant)(const std::string& backup, const std::string& bytes);
  };
  for (const Row& row : {
           Row{"is owned by another user",
               [](const std::string&b, const std::string&bytes) {
                 WriteFile(b, bytes);
                 ASSERT_EQ(::chown(b.c_str(), 65534, 65534), 0);
                 ASSERT_EQ(::chmod(b.c_str(), 0600), 0);
               }},
           Row{"may be changed by other users",
               [](const std::string&b, const std::string&bytes) {
                 WriteFile(b, bytes);
                 ASSERT_EQ(::chmod(b.c_str(), 0666), 0);
               }},
           Row{"has other names (hard links)",
               [](const std::string&b, const std::string&bytes) {
                 WriteFile(b + ".other", bytes);
                 ASSERT_EQ(::link((b + ".other").c_str(), b.c_str()), 0);
               }},
           Row{"is not a regular file",
               [](const std::string&b, const std::string&bytes) {
                 WriteFile(b + ".other", bytes);
                 fs::create_symlink(b + ".other", b);
               }},
       }) {
    fs::remove_all(dir.path());
    fs::create_directories(dir.path());
    WriteFile(form, kOld);
    row.plant(backup, planted);
    EXPECT_REPAIR_ERROR(files.OpenForRepair("", form),
                        "cannot repair \"" + form + "\": its backup \"Main.frm.plindor-backup\" " +
                            row.why +
                            ", as no backup this program makes is; compare the two, then move "
                            "the backup away");
    EXPECT_EQ(ReadFile(form), kOld) << row.why;
    EXPECT_TRUE(fs::is_symlink(backup) || ReadFile(backup) == planted) << row.why;
  }
}

// A link from a name a project may list to a backup is not a way to repair the backup.
TEST_F(PosixDiskFileSystemTest, LinkToABackupIsNeverRepaired) {
  WriteFile(dir / "Main.frm.plindor-backup", kOld);
  fs::create_symlink("Main.frm.plindor-backup", dir / "alias.frm");
  EXPECT_REPAIR_ERROR(files.OpenForRepair(dir.path(), "alias.frm"),
                      "cannot repair \"alias.frm\": it leads to \"Main.frm.plindor-backup\", a "
                      "backup this program keeps while it rewrites a file, and never repairs");
  EXPECT_EQ(ReadFile(dir / "Main.frm.plindor-backup"), kOld);
}

// Only the form's owner may read what the form held; root's repair gives it to that owner.
TEST_F(PosixDiskFileSystemTest, BackupBelongsToTheFormsOwnerAlone) {
  const std::string form = dir / "Main.frm";
  WriteFile(form, kOld);
  const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(form.c_str(), owner, owner), 0);
  }
  ASSERT_EQ(::chmod(form.c_str(), 0666), 0);
  const auto file = files.OpenForRepair("", form);
  file->Read();
  file->Prepare(kNew);
  struct stat info {};
  ASSERT_EQ(::stat(Backup(form).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_uid, owner);
  testing::CommitUnheard(files);
  EXPECT_EQ(ReadFile(form), kNew);
}

// The name is swapped between a regular file and a link to a FIFO while it is opened: the FIFO
// must never be opened, which a reader waiting on it would notice.
TEST_F(PosixDiskFileSystemTest, NameSwappedForAFifoNeverOpensIt) {
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteFile(dir / "regular", kOld);
  fs::create_symlink(fifo, dir / "link");
  std::atomic<bool> done = false;
  std::atomic<bool> fifo_opened = false;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);  // waits for a writer
    if (!done) fifo_opened = true;
    if (fd >= 0) ::close(fd);
  });
  std::thread swapper([&] {
    for (int i = 0; !done; ++i) {
      fs::copy(dir / (i % 2 ? "link" : "regular"), dir / "next",
               fs::copy_options::copy_symlinks | fs::copy_options::overwrite_existing);
      fs::rename(dir / "next", dir / "Main.frm");
    }
  });
  for (int i = 0; i < 2000; ++i) {
    try {
      files.OpenForRepair(dir.path(), "Main.frm");
    } catch (const RepairError&) {
    }
  }
  done = true;
  swapper.join();
  // Lets the reader go, as the only writer the FIFO ever had.
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  reader.join();
  if (writer >= 0) ::close(writer);
  EXPECT_FALSE(fifo_opened);
}

// A sparse form larger than memory can hold fails with its size, leaving nothing.
TEST_F(PosixDiskFileSystemTest, FileTooLargeForMemoryFailsWithItsSize) {
  const std::uint64_t huge = std::uint64_t{64} << 30;
  const std::string form = dir / "Big.frm";
  WriteFile(form, "");
  fs::resize_file(form, huge);
  EXPECT_REPAIR_ERROR(files.OpenForRepair("", form), "cannot read \"" + form +
                                                         "\": it is too large to hold in memory (" +
                                                         std::to_string(huge) + " bytes)");
  WriteFile(form, kOld);
  WriteFile(Backup(form), "");
  fs::resize_file(Backup(form), huge);
  // Zeros, as a power cut leaves a backup that never reached the disk: judged by its first
  // bytes, not read whole, and removed.
  EXPECT_EQ(files.OpenForRepair("", form)->Recovery(),
            "removed \"Big.frm.plindor-backup\", the unfinished backup of an interrupted run; \"" +
                form + "\" was not changed");
  EXPECT_FALSE(fs::exists(Backup(form)));
}

// Other programs lock files with flock or with fcntl, and neither sees the other's locks: a
// file locked either way is waited for.
TEST_F(PosixDiskFileSystemTest, FileLockedByAnotherProgramIsWaitedFor) {
  const std::string form = dir / "Main.frm";
  WriteFile(form, kOld);
  const int other = ::open(form.c_str(), O_RDWR | O_CLOEXEC);
  struct flock whole {};
  whole.l_type = F_WRLCK;
  ASSERT_EQ(::fcntl(other, F_OFD_SETLK, &whole), 0);
  EXPECT_EQ(files.OpenForRepair("", form, FileSystem::Wait::kNo), nullptr);
  ::close(other);
  EXPECT_NE(files.OpenForRepair("", form, FileSystem::Wait::kNo), nullptr);
}

}  // namespace
}  // namespace plindor::repair
