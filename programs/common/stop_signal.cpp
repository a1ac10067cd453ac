#include "programs/common/stop_signal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
    stopSignal = signal;
    // The Windows runtime resets the handler before calling it; setting it
    // again keeps a second Ctrl-C from killing the run while it closes.
    std::signal(signal, OnStopSignal);
}

}  // namespace

void CatchStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

int StopSignal() {
    return stopSignal;
}

int StopStatus(int signal) {
    return 128 + signal;
}
