#pragma once

namespace plindor::repair {

// Readies the process for DeferredTermination; call first thing in main, before any thread
// starts. Requests to end the program (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT; on Windows the
// console's Ctrl-C, Ctrl-Break and close) are then taken by one place, in every thread alike,
// and a file-size limit fails a write instead of killing the program.
void GuardTermination();

// While one lives, requests to end the program wait, and take effect once none is left: the
// files being rewritten are consistent again by then. Nothing can hold back SIGKILL or a
// crash; the backups cover those. Without GuardTermination, holds the requests back in the
// calling thread only.
class DeferredTermination final {
 public:
  DeferredTermination();
  ~DeferredTermination();
  DeferredTermination(const DeferredTermination&) = delete;
  DeferredTermination& operator=(const DeferredTermination&) = delete;

 private:
  unsigned long long saved_[16];  // the previous signal mask, where there is one
};

}  // namespace plindor::repair
