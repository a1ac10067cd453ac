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

const StopSignalName kStopSignals[] = {
    {SIGINT, "stopped by Ctrl-C (SIGINT)"},
    {SIGTERM, "stopped by SIGTERM"},
};
const std::size_t kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

void CatchStopSignals(void (*atOnce)()) {
    atOnceHook = atOnce;
    for (const StopSignalName& stop : kStopSignals) {
        std::signal(stop.number, OnStopSignal);
    }
}

int StopSignal() {
    return stopSignal;
}
