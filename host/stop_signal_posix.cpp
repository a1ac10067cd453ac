// Stop signals on POSIX hosts, caught without SA_RESTART so a stop never
// leaves the program blocked in a call.
#include <signal.h>
#include <unistd.h>

#include "host/keyboard.h"
#include "host/stop_signal.h"

namespace {

volatile sig_atomic_t stopSignal = 0;
void (*atOnceHook)() = nullptr;

// Ends the program from inside the handler: only async-signal-safe calls.
[[noreturn]] void StopAtOnce(int signal) {
    if (atOnceHook != nullptr) {
        atOnceHook();
    }
    // A terminal session's console gets its own settings back.
    EndKeyboard();
    char text[kStoppedAtOnceLineSize];
    const std::size_t length = StoppedAtOnceLine(signal, text);
    ssize_t ignored = write(STDOUT_FILENO, text, length);  // nothing to do if it fails
    (void)ignored;
    _exit(StopStatus(signal));
}

void OnStopSignal(int signal) {
    if (stopSignal != 0) {
        StopAtOnce(signal);
    }
    stopSignal = signal;
}

}  // namespace

const StopSignalName kStopSignals[] = {
    {SIGINT, "stopped by Ctrl-C (SIGINT)", "Ctrl-C"},
    {SIGQUIT, "stopped by Ctrl-\\ (SIGQUIT)", "SIGQUIT"},
    {SIGTERM, "stopped by SIGTERM", "SIGTERM"},
    {SIGHUP, "stopped by SIGHUP (the terminal closed)", "SIGHUP"},
};
const std::size_t kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

void CatchStopSignals(void (*atOnce)()) {
    atOnceHook = atOnce;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // No SA_RESTART: a read, open or wait the signal interrupts fails with
    // EINTR instead of blocking on; the flow then sees the stop.
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    for (const StopSignalName& stop : kStopSignals) {
        sigaddset(&action.sa_mask, stop.number);  // one handler at a time
    }
    for (const StopSignalName& stop : kStopSignals) {
        sigaction(stop.number, &action, nullptr);
    }
}

int StopSignal() {
    return stopSignal;
}
