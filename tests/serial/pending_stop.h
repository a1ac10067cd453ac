// A stop signal (SIGTERM) made pending by the test: caught by a handler of
// the test's, blocked for the calling thread and raised, so it waits for a
// wait that lets it in. Everything is put back at the end of scope.
#pragma once

#include <pthread.h>
#include <signal.h>

class PendingStop {
  public:
    PendingStop() {
        caught_ = 0;
        struct sigaction handler {};
        handler.sa_handler = [](int) { caught_ = 1; };
        sigaction(SIGTERM, &handler, &before_);
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &term, &callers_);
        pthread_kill(pthread_self(), SIGTERM);
    }
    ~PendingStop() {
        pthread_sigmask(SIG_SETMASK, &callers_, nullptr);
        sigaction(SIGTERM, &before_, nullptr);
    }
    PendingStop(const PendingStop&) = delete;
    PendingStop& operator=(const PendingStop&) = delete;

    // True once the handler took the signal.
    bool Caught() const {
        return caught_ != 0;
    }
    // True while it is still waiting to be let in.
    bool StillPending() const {
        sigset_t pending;
        sigpending(&pending);
        return sigismember(&pending, SIGTERM) == 1;
    }

  private:
    static inline volatile sig_atomic_t caught_ = 0;
    struct sigaction before_ {};
    sigset_t callers_{};
};
