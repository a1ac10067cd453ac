// Stop signals on Windows: the C runtime turns Ctrl-C and Ctrl-Break into
// SIGINT (from its console handler, on a thread of its own) and delivers
// SIGTERM when raised.
#include <io.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "host/keyboard.h"
#include "host/stop_signal.h"

namespace {

// Written by the runtime's console handler thread, read by the run's: an
// atomic (lock-free, so safe in a handler too), not a volatile.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag must be lock-free");
void (*atOnceHook)() = nullptr;

[[noreturn]] void StopAtOnce(int signal) {
    if (atOnceHook != nullptr) {
        atOnceHook();
    }
    // A terminal session's console gets its own settings back.
    EndKeyboard();
    char text[kStoppedAtOnceLineSize];
    const std::size_t length = StoppedAtOnceLine(signal, text);
    _write(1, text, static_cast<unsigned>(length));
    std::_Exit(StopStatus(signal));
}

void OnStopSignal(int signal) {
    // The runtime resets the handler before calling it; setting it again
    // keeps the second Ctrl-C ours.
    std::signal(signal, OnStopSignal);
    // Each Ctrl-C may come on a handler thread of its own: only the first
    // to set the flag is the first stop.
    int none = 0;
    if (!stopSignal.compare_exchange_strong(none, signal)) {
        StopAtOnce(signal);
    }
}

}  // namespace

const StopSignalName kStopSignals[] = {
    {SIGINT, "stopped by Ctrl-C (SIGINT)", "Ctrl-C"},
    {SIGTERM, "stopped by SIGTERM", "SIGTERM"},
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
