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
  }

  fs::path form() const { return dir_.path() / "Big.frm"; }
  fs::path backup() const { return dir_.path() / "Big.frm.plindor-backup"; }

  // Starts a repair of a fresh old form and sends `signal` at a random moment of it. Returns
  // what the form was left as: "original", "repaired", "recoverable" (a backup is beside it)
  // or "corrupt".
  std::string Interrupt(int signal) {
    WriteFile(form(), old_);
    const pid_t child = RepairInChild(dir_.path(), "Big.frm");
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration_).count() * 6 / 5);
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random_)));
    ::kill(child, signal);
    Wait(child);
    const std::string now = ReadFile(form());
    if (fs::exists(backup())) return "recoverable";
    if (now == old_) return "original";
    if (now == repaired_) return "repaired";
    return "corrupt";
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
  std::mt19937_64 random_{20261207};
};

TEST_F(Interruption, KillAtAnyMomentLeavesTheFormWholeOrRecoverable) {
  std::map<std::string, int> seen;
  const auto give_up = Clock::now() + std::chrono::seconds(40);
  for (int trial = 0; trial < 60 && Clock::now() < give_up; ++trial) {
    const std::string state = Interrupt(SIGKILL);
    ++seen[state];
    EXPECT_NE(state, "corrupt") << "trial " << trial;
    ExpectNextRunRepairs();
  }
  std::cout << "SIGKILL during a 16 MiB rewrite:";
  for (const auto& [state, count] : seen) std::cout << ' ' << state << ' ' << count;
  std::cout << '\n';
}

TEST_F(Interruption, TerminationWaitsUntilTheFormIsConsistent) {
  std::map<std::string, int> seen;
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  for (int trial = 0; trial < 30 && Clock::now() < give_up; ++trial) {
    const std::string state = Interrupt(SIGTERM);
    ++seen[state];
    EXPECT_TRUE(state == "original" || state == "repaired") << state << " in trial " << trial;
    ExpectNextRunRepairs();
  }
  std::cout << "SIGTERM during a 16 MiB rewrite:";
  for (const auto& [state, count] : seen) std::cout << ' ' << state << ' ' << count;
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
