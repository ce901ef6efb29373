#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace plindor::testing {

// What the next pwrite calls of this process do, through the link-time wrapper in
// write_seam.cpp (the test program links with -Wl,--wrap=pwrite).
struct WritePlan {
  // The file whose writes the plan acts on, by name (B.frm, B.frm.plindor-backup); the writes
  // to every other file go through untouched.
  std::string file;
  // Bytes that go through before the failures start.
  std::size_t fail_after = std::numeric_limits<std::size_t>::max();
  int error = EIO;
  // How many calls fail once the budget is spent; the rest go through again.
  int failures = 1;
  // Each call writes at most this much: short writes.
  std::size_t max_chunk = std::numeric_limits<std::size_t>::max();
  // Calls that fail with EINTR before anything else happens.
  int interruptions = 0;
  // Runs once, right before the first write to the file goes through: what another program
  // does in the middle of the rewrite.
  std::function<void(int fd)> meanwhile = {};
  // Runs it right after that first write instead.
  bool after = false;
};

// Runs `meanwhile` once, right after the first read of the file called `file` went through
// (the test program links with -Wl,--wrap=pread): what another program does during the read.
class ReadFault final {
 public:
  ReadFault(std::string file, std::function<void()> meanwhile);
  ReadFault(const ReadFault&) = delete;
  ReadFault& operator=(const ReadFault&) = delete;
  ~ReadFault();
};

// Makes the `fail_at`-th flush (fsync, fdatasync or syncfs) of the process from now on fail with
// EIO, and counts them all, through the link-time wrappers in write_seam.cpp.
class FlushFault final {
 public:
  explicit FlushFault(std::size_t fail_at);
  FlushFault(const FlushFault&) = delete;
  FlushFault& operator=(const FlushFault&) = delete;
  ~FlushFault();
  std::size_t calls() const;
  // What each flush reached, in order: the call, and the device and inode of what it was given.
  struct Flushed {
    std::string call;
    std::uint64_t device, inode;
  };
  const std::vector<Flushed>& flushed() const;
};

// Arms `plan` for its lifetime.
class WriteFault final {
 public:
  explicit WriteFault(const WritePlan& plan);
  WriteFault(const WriteFault&) = delete;
  WriteFault& operator=(const WriteFault&) = delete;
  ~WriteFault();
};

// Arms `plan` until a WriteFault is destroyed or Disarm() is called; for faults that start
// in the middle of a run.
void Arm(const WritePlan& plan);
void Disarm();

}  // namespace plindor::testing
