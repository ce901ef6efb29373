// A large rewrite interrupted at random moments by SIGKILL, which nothing can hold back, and by
// SIGTERM, which waits until the file is consistent; and two runs on one project at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "fault_scenario.h"
#include "memory_file_system.h"
#include "repair/disk_file_system.h"
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "temp_dir.h"

namespace plindor::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Repairs `component` of `folder` in a child process; returns its pid.
pid_t RepairInChild(const fs::path& folder, const std::string& component) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  repair::DiskFileSystem files;
  StringLog log;
  try {
    repair::Repairer(files, log, folder.string()).FixComponentFile(component);
  } catch (const repair::RepairError&) {
    ::_exit(1);
  }
  ::_exit(0);
}

int Wait(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

class Interruption : public ::testing::Test {
 protected:
  void SetUp() override {
    // A change every 20 bytes from the second byte on: the whole file is rewritten.
    old_ = OldForm(16 << 20);
    repaired_ = Repaired(old_);
    WriteFile(form(), old_);
    const auto start = Clock::now();
    ASSERT_EQ(Wait(RepairInChild(dir_.path(), "Big.frm")), 0);
    duration_ = Clock::now() - start;
    // Once more, timing the stretch from the backup's appearance to the end.
    WriteFile(form(), old_);
    const pid_t child = RepairInChild(dir_.path(), "Big.frm");
    WaitForBackup();
    const auto backup_seen = Clock::now();
    ASSERT_EQ(Wait(child), 0);
    rewriting_ = Clock::now() - backup_seen;
  }

  void WaitForBackup() const {
    const auto give_up = Clock::now() + 10 * duration_;
    while (!fs::exists(backup()) && Clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }

  fs::path form() const { return dir_.path() / "Big.frm"; }
  fs::path backup() const { return dir_.path() / "Big.frm.plindor-backup"; }

  // When a trial's signal goes: at any moment of the run, at a moment after the form's backup
  // appeared, or the moment the form itself starts to change.
  enum class Aim { kAnywhere, kAfterTheBackup, kInTheOverwrite };

  // Starts a repair of a fresh old form and sends `signal` at a random moment of it, as aimed.
  // Returns what the form was left as: "original", "repaired", "backup beside a form ..." (to
  // be put back from it) or "corrupt" (half written with no backup).
  std::string Interrupt(int signal, Aim aim) {
    WriteFile(form(), old_);
    const auto written = fs::last_write_time(form());
    const pid_t child = RepairInChild(dir_.path(), "Big.frm");
    const auto micros = [](Clock::duration d) {
      return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    };
    long long latest = micros(duration_) * 6 / 5;
    if (aim == Aim::kAfterTheBackup) {
      WaitForBackup();
      latest = micros(rewriting_);
    } else if (aim == Aim::kInTheOverwrite) {
      const auto give_up = Clock::now() + 10 * duration_;
      while (fs::last_write_time(form()) == written && Clock::now() < give_up) {
      }
      latest = 0;
    }
    std::uniform_int_distribution<long long> moment(0, latest);
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random_)));
    ::kill(child, signal);
    Wait(child);
    const std::string now = ReadFile(form());
    const std::string as = now == old_        ? "original"
                           : now == repaired_ ? "repaired"
                                              : "half-written";
    if (fs::exists(backup())) return "backup beside a form " + as;
    return as == "half-written" ? "corrupt" : as;
  }

  // A later run leaves the form repaired and nothing beside it.
  void ExpectNextRunRepairs() {
    ASSERT_EQ(Wait(RepairInChild(dir_.path(), "Big.frm")), 0);
    EXPECT_TRUE(ReadFile(form()) == repaired_) << "the form is not repaired";
    EXPECT_FALSE(fs::exists(backup()));
  }

  TempDir dir_;
  std::string old_, repaired_;
  Clock::duration duration_{};
  Clock::duration rewriting_{};
  std::mt19937_64 random_{20261207};
};

TEST_F(Interruption, KillAtAnyMomentLeavesTheFormWholeOrRecoverable) {
  std::map<std::string, int> seen;
  const auto give_up = Clock::now() + std::chrono::seconds(40);
  for (int trial = 0; trial < 60 && Clock::now() < give_up; ++trial) {
    const std::string state = Interrupt(SIGKILL, static_cast<Aim>(trial % 3));
    ++seen[state];
    EXPECT_NE(state, "corrupt") << "trial " << trial;
    ExpectNextRunRepairs();
  }
  std::cout << "SIGKILL during a 16 MiB rewrite:";
  for (const auto& [state, count] : seen) std::cout << "; " << state << ": " << count;
  std::cout << '\n';
}

TEST_F(Interruption, TerminationWaitsUntilTheFormIsConsistent) {
  std::map<std::string, int> seen;
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  for (int trial = 0; trial < 30 && Clock::now() < give_up; ++trial) {
    const std::string state = Interrupt(SIGTERM, static_cast<Aim>(trial % 3));
    ++seen[state];
    EXPECT_TRUE(state == "original" || state == "repaired") << state << " in trial " << trial;
    ExpectNextRunRepairs();
  }
  std::cout << "SIGTERM during a 16 MiB rewrite:";
  for (const auto& [state, count] : seen) std::cout << "; " << state << ": " << count;
  std::cout << '\n';
}

// Runs on one project at once take turns file by file; both end with every file repaired.
TEST(ConcurrentRuns, TwoRunsOnOneProjectBothSucceed) {
  const TempDir dir;
  std::string project;
  for (int i = 0; i < 16; ++i) {
    project += "Form=F" + std::to_string(i) + ".frm\r\n";
  }
  for (int round = 0; round < 25; ++round) {
    WriteFile(dir.path() / "P.vbp", project);
    for (int i = 0; i < 16; ++i) {
      WriteFile(dir.path() / ("F" + std::to_string(i) + ".frm"),
                OldForm(64 * 1024 + static_cast<std::size_t>(i)));
    }
    pid_t runs[2];
    for (pid_t& run : runs) {
      run = ::fork();
      if (run == 0) {
        repair::DiskFileSystem files;
        StringLog log;
        try {
          repair::Repairer(files, log, dir.path().string()).FixProjectFile(dir / "P.vbp");
        } catch (const repair::RepairError& e) {
          std::cerr << e.what() << '\n';
          ::_exit(1);
        }
        ::_exit(0);
      }
    }
    for (const pid_t run : runs) EXPECT_EQ(Wait(run), 0) << "round " << round;
    for (int i = 0; i < 16; ++i) {
      const std::string name = "F" + std::to_string(i) + ".frm";
      EXPECT_TRUE(ReadFile(dir.path() / name) ==
                  Repaired(OldForm(64 * 1024 + static_cast<std::size_t>(i))))
          << name << " in round " << round;
      EXPECT_FALSE(fs::exists(dir.path() / (name + ".plindor-backup")));
    }
  }
}

}  // namespace
}  // namespace plindor::testing
