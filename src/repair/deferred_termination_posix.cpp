#include <pthread.h>
#include <signal.h>

#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "repair/deferred_termination.h"

namespace plindor::repair {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long long[16]), "room for a signal mask");

namespace {

constexpr std::array kRequests = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t TerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : kRequests) sigaddset(&signals, signal);
  return signals;
}

// How many holds are alive, in any thread, and whether a request waits for them.
std::mutex holds_mutex;
std::condition_variable holds_released;
int holds = 0;
bool request_waiting = false;
thread_local int holds_here = 0;

// The one place a request to end the program is taken once GuardTermination ran: it waits
// for the last hold, then lets the request have the effect it had before.
[[noreturn]] void TakeRequests(sigset_t signals, std::array<struct sigaction, NSIG> before) {
  while (true) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    std::unique_lock lock(holds_mutex);
    request_waiting = true;
    holds_released.wait(lock, [] { return holds == 0; });
    // Keeps the lock: no new hold starts before the end.
    sigaction(signal, &before[static_cast<std::size_t>(signal)], nullptr);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    ::raise(signal);
  }
}

}  // namespace

void GuardTermination() {
  // A file-size limit must fail the write with EFBIG, not kill the program halfway.
  ::signal(SIGXFSZ, SIG_IGN);
  sigset_t signals;
  sigemptyset(&signals);
  std::array<struct sigaction, NSIG> before{};
  for (const int signal : kRequests) {
    auto& action = before[static_cast<std::size_t>(signal)];
    // A request the program was started to ignore (nohup) stays ignored.
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
      sigaddset(&signals, signal);
    }
  }
  // Every thread started from here on inherits the mask.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(TakeRequests, signals, before).detach();
}

DeferredTermination::DeferredTermination() {
  const sigset_t deferred = TerminationSignals();
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &deferred, &saved);
  std::memcpy(saved_, &saved, sizeof saved);
  std::unique_lock lock(holds_mutex);
  // Once a request waits, only holds within holds already alive start: the others would keep
  // the request waiting for good.
  if (holds_here == 0) holds_released.wait(lock, [] { return !request_waiting; });
  ++holds;
  ++holds_here;
}

DeferredTermination::~DeferredTermination() {
  {
    const std::lock_guard lock(holds_mutex);
    --holds;
    --holds_here;
  }
  holds_released.notify_all();
  sigset_t saved;
  std::memcpy(&saved, saved_, sizeof saved);
  // Without GuardTermination, a signal that arrived meanwhile is delivered here, with its
  // usual effect.
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace plindor::repair
