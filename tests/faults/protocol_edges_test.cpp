// The rewrite's protocol at its edges: a flush failing at each of its steps, another program
// replacing a form in the middle of its rewrite, a reader during the rewrite, and a request to
// end the program while a batch is committed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "fault_scenario.h"
#include "repair/disk_file_system.h"
#include "repair/progress_log.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "repair/rules.h"
#include "temp_dir.h"
#include "write_seam.h"

namespace plindor::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 4> kFiles = {"Project.vbp", "A.frm", "B.frm", "C.frm"};

std::string RepairedText(const char* name, const std::string& old) {
  return repair::ApplyRules(old, name == kFiles[0]
                                     ? std::span<const repair::Rule>(repair::kProjectRules)
                                     : std::span<const repair::Rule>(repair::kComponentRules));
}

// Every flush of a run fails in turn. Whatever fails, each file is whole, old or new; the files
// the log names before its last line are the new ones; and no backup stays behind.
TEST(FlushFailure, AtAnyStepLeavesEveryFileWholeAndTheLogTrue) {
  std::size_t flushes = 0;
  {
    TempDir dir;
    ProjectScenario scenario(dir.path(), 20000);
    const FlushFault counting(SIZE_MAX);
    repair::DiskFileSystem files;
    ASSERT_EQ(scenario.Run(files), "");
    flushes = counting.calls();
    // Nothing is flushed twice, but a file system's own flush: once for the backups, once for
    // the files.
    for (const FlushFault::Flushed& call : counting.flushed()) {
      const bool whole = call.call == "syncfs";
      EXPECT_LE(std::ranges::count_if(counting.flushed(),
                                      [&](const FlushFault::Flushed& other) {
                                        return other.call == call.call &&
                                               other.device == call.device &&
                                               (whole || other.inode == call.inode);
                                      }),
                whole ? 2 : 1)
          << call.call << " of " << call.device << ":" << call.inode;
    }
  }
  ASSERT_GE(flushes, 2u);
  ASSERT_LE(flushes, 2 * kFiles.size() + 1) << "each file, backup and folder at most once";
  for (std::size_t failing = 1; failing <= flushes; ++failing) {
    TempDir dir;
    ProjectScenario scenario(dir.path(), 20000);
    std::array<std::string, kFiles.size()> old;
    for (std::size_t i = 0; i < kFiles.size(); ++i) old[i] = ReadFile(dir.path() / kFiles[i]);
    std::string message;
    {
      const FlushFault fault(failing);
      repair::DiskFileSystem files;
      message = scenario.Run(files);
    }
    EXPECT_NE(message, "") << "flush " << failing;
    const auto lines =
        static_cast<std::size_t>(std::count(scenario.log().begin(), scenario.log().end(), '\n'));
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
      const std::string now = ReadFile(dir.path() / kFiles[i]);
      EXPECT_EQ(now, i + 1 < lines ? RepairedText(kFiles[i], old[i]) : old[i])
          << kFiles[i] << ", flush " << failing << ": " << message;
      EXPECT_FALSE(fs::exists(dir.path() / (std::string(kFiles[i]) + ".plindor-backup")));
    }
  }
}

// A program that saves by writing a new file and renaming it over the form, in the middle of
// the rewrite, has the last word: the run says so and goes no further.
TEST(ReplacedDuringTheRewrite, FailsAtThatFormAndKeepsTheOtherProgramsFile) {
  TempDir dir;
  ProjectScenario scenario(dir.path(), 20000);
  const std::string old_c = ReadFile(dir.path() / "C.frm");
  WritePlan plan{.file = "B.frm"};
  plan.meanwhile = [&](int) {
    WriteFile(dir.path() / "B.frm.saved", "the other program's text\r\n");
    fs::rename(dir.path() / "B.frm.saved", dir.path() / "B.frm");
  };
  std::string message;
  {
    const WriteFault fault(plan);
    repair::DiskFileSystem files;
    message = scenario.Run(files);
  }
  EXPECT_EQ(message,
            "cannot write \"B.frm\": another program replaced, renamed or removed it while it was "
            "rewritten");
  EXPECT_TRUE(scenario.log().ends_with("   fixing B.frm\r\n")) << scenario.log();
  EXPECT_EQ(ReadFile(dir.path() / "B.frm"), "the other program's text\r\n");
  EXPECT_EQ(ReadFile(dir.path() / "C.frm"), old_c);
  EXPECT_FALSE(fs::exists(scenario.b_backup()));
}

// A same-length edit during the read is not taken for the form's content, to be overwritten.
TEST(ChangedDuringTheRead, FailsAtThatFormAndKeepsTheEdit) {
  TempDir dir;
  ProjectScenario scenario(dir.path(), 20000);
  const std::string edited(scenario.b().size(), 'e');
  std::string message;
  {
    const ReadFault fault("B.frm", [&] { WriteFile(scenario.b_path(), edited); });
    repair::DiskFileSystem files;
    message = scenario.Run(files);
  }
  EXPECT_EQ(message, "cannot read \"B.frm\": another program is changing it");
  EXPECT_TRUE(scenario.log().ends_with("   fixing B.frm\r\n")) << scenario.log();
  EXPECT_EQ(ReadFile(scenario.b_path()), edited);
  EXPECT_FALSE(fs::exists(scenario.b_backup()));
}

// A reader in the middle of a growing rewrite sees no length but the old one until the new
// bytes are there: never a tail of zeros.
TEST(ReaderDuringTheRewrite, SeesTheOldLengthBeforeTheFirstNewByte) {
  TempDir dir;
  ProjectScenario scenario(dir.path(), 20000);
  const auto old_size = static_cast<off_t>(scenario.b().size());
  off_t seen = -1;
  WritePlan plan{.file = "B.frm"};
  plan.meanwhile = [&](int) {
    struct stat info {};
    if (::stat(scenario.b_path().c_str(), &info) == 0) seen = info.st_size;
  };
  {
    const WriteFault fault(plan);
    repair::DiskFileSystem files;
    ASSERT_EQ(scenario.Run(files), "");
  }
  EXPECT_EQ(seen, old_size);
  scenario.Expect(Outcome::kRepaired, false);
}

// Whether a run may hold files in `folder` against other programs' opens: the system may lack
// leases, or the user the right to take them.
bool LeasesWork(const fs::path& folder) {
  WriteFile(folder / "probe", "x");
  const int fd = ::open((folder / "probe").c_str(), O_RDWR | O_CLOEXEC);
  const bool works = ::fcntl(fd, F_SETSIG, SIGURG) == 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
  ::close(fd);
  fs::remove(folder / "probe");
  return works;
}

// Another program that opens a form during its rewrite waits until the form is whole and on
// the disk: a reader gets the new content, never half of each, and an append lands after it.
TEST(OtherProgramsDuringTheRewrite, WaitUntilTheFormIsWhole) {
  const TempDir dir;
  if (!LeasesWork(dir.path())) GTEST_SKIP() << "files can't be held against others' opens here";
  for (const bool reading : {true, false}) {
    ProjectScenario scenario(dir.path(), 20000);
    const fs::path seen = dir.path() / "seen";
    const std::string command = reading ? "cat B.frm > seen" : "printf 'appended\\r\\n' >> B.frm";
    pid_t other = -1;
    WritePlan plan{.file = "B.frm"};
    plan.meanwhile = [&](int) {
      if ((other = ::fork()) == 0) {
        if (::chdir(dir.path().c_str()) == 0) {
          ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        }
        ::_exit(127);
      }
      // Time enough for the other program to do its work, unless it is made to wait.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    {
      const WriteFault fault(plan);
      repair::DiskFileSystem files;
      EXPECT_EQ(scenario.Run(files), "");
    }
    int status = -1;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_EQ(status, 0);
    const std::string repaired = Repaired(scenario.b());
    EXPECT_EQ(ReadFile(reading ? seen : scenario.b_path()),
              reading ? repaired : repaired + "appended\r\n");
  }
}

// A program that had the form open before the run can't be made to wait: a write of its during
// the rewrite (here after its first slice, or while the next form is written) is kept, with the
// backup, and the run says so; the forms after go back.
TEST(OtherProgramsDuringTheRewrite, AWriteThatCouldNotWaitIsKeptAndReported) {
  for (const bool in_the_form : {false, true}) {
    const TempDir dir;
    ProjectScenario scenario(dir.path(), in_the_form ? std::size_t{9} << 20 : 20000);
    const int held = ::open(scenario.b_path().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(held, 0);
    WritePlan plan{.file = in_the_form ? "B.frm" : "C.frm", .after = in_the_form};
    plan.meanwhile = [&](int) { ASSERT_EQ(::write(held, "appended\r\n", 10), 10); };
    std::string message;
    {
      const WriteFault fault(plan);
      repair::DiskFileSystem files;
      message = scenario.Run(files);
    }
    ::close(held);
    EXPECT_EQ(message,
              "cannot write \"B.frm\": another program wrote to it while it was rewritten; its "
              "content before the rewrite is kept in its backup \"B.frm.plindor-backup\"");
    EXPECT_TRUE(ReadFile(scenario.b_path()).ends_with("appended\r\n"));
    EXPECT_TRUE(fs::exists(scenario.b_backup()));
    scenario.Expect(Outcome::kAnything, true);
  }
}

// A request to end the program during a commit waits until the files are consistent and the
// log has heard of every file committed.
TEST(TerminationDuringACommit, WaitsUntilEveryCommittedFileIsLogged) {
  TempDir dir;
  ProjectScenario scenario(dir.path(), 20000);
  int log_pipe[2];
  ASSERT_EQ(::pipe(log_pipe), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(log_pipe[0]);
    // Each line goes out as it is logged; the program ends as soon as the request takes effect.
    struct PipeLog final : repair::ProgressLog {
      int fd;
      void Append(std::string_view line) override { (void)!::write(fd, line.data(), line.size()); }
    } log;
    log.fd = log_pipe[1];
    HookedFileSystem files([](const std::string&) { ::kill(::getpid(), SIGTERM); });
    try {
      repair::Repairer(files, log, dir.path().string())
          .FixProjectFile((dir.path() / "Project.vbp").string());
    } catch (const repair::RepairError&) {
    }
    ::_exit(0);
  }
  ::close(log_pipe[1]);
  std::string log;
  char buffer[4096];
  for (ssize_t n; (n = ::read(log_pipe[0], buffer, sizeof buffer)) > 0;)
    log.append(buffer, static_cast<std::size_t>(n));
  ::close(log_pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  scenario.set_log(log);
  scenario.Expect(Outcome::kRepaired, false);
}

}  // namespace
}  // namespace plindor::testing
