// Stop signals on Windows: the C runtime turns Ctrl-C and Ctrl-Break into
// SIGINT (from its console handler, on a thread of its own) and delivers
// SIGTERM when raised.
#include <io.h>

#include <csignal>
#include <cstdlib>

#include "host/stop_signal.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;
void (*atOnceHook)() = nullptr;

[[noreturn]] void StopAtOnce(int signal) {
    if (atOnceHook != nullptr) {
        atOnceHook();
    }
    char text[kStoppedAtOnceLineSize];
    const std::size_t length = StoppedAtOnceLine(signal, text);
    _write(1, text, static_cast<unsigned>(length));
    std::_Exit(StopStatus(signal));
}

void OnStopSignal(int signal) {
    // The runtime resets the handler before calling it; setting it again
    // keeps the second Ctrl-C ours.
    std::signal(signal, OnStopSignal);
    if (stopSignal != 0) {
        StopAtOnce(signal);
    }
    stopSignal = signal;
}

}  // namespace

void CatchStopSignals(void (*atOnce)()) {
    atOnceHook = atOnce;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

int StopSignal() {
    return stopSignal;
}
