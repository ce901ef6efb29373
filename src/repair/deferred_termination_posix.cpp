#include <pthread.h>
#include <signal.h>

#include <cstring>
#include <initializer_list>

#include "repair/deferred_termination.h"

namespace plindor::repair {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long long[16]), "room for a signal mask");

DeferredTermination::DeferredTermination() {
  sigset_t deferred;
  sigemptyset(&deferred);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&deferred, signal);
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &deferred, &saved);
  std::memcpy(saved_, &saved, sizeof saved);
}

DeferredTermination::~DeferredTermination() {
  sigset_t saved;
  std::memcpy(&saved, saved_, sizeof saved);
  // A signal that arrived meanwhile is delivered here, with its usual effect.
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace plindor::repair
