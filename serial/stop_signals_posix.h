// The signals a run is stopped by (those the programs catch), held back by
// the POSIX waits while they are awake and let in only as they sleep, so
// one that comes between a read and the sleep after it ends the sleep at
// once instead of going unseen until the deadline.
#pragma once

#include <signal.h>

// Blocks the stop signals for the calling thread. *callers gets its mask
// before, *sleeping the mask a sleep lets them in with.
inline void HoldStopSignals(sigset_t* callers, sigset_t* sleeping) {
    constexpr int kStopSignalNumbers[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : kStopSignalNumbers) {
        sigaddset(&stops, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stops, callers);
    *sleeping = *callers;
    for (int signal : kStopSignalNumbers) {
        sigdelset(sleeping, signal);
    }
}
