#pragma once

namespace plindor::repair {

// While one lives, requests to end the program (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT; on Windows
// the console's Ctrl-C, Ctrl-Break and close) wait, and take effect once it is gone: a file
// being rewritten is consistent again by then. Nothing can hold back SIGKILL or a crash; the
// backup covers those. One thread at a time.
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
