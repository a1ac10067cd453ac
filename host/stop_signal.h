// Stop signals: a caught one ends the run between records, through the
// program's own exits, with 128 + the signal's number; a second one at once.
#pragma once

#include <cstddef>

// A signal that stops a run, and the help's text for its status.
struct StopSignalName {
    int number;
    const char* text;
    const char* shown;  // in the stop line: "Ctrl-C", else the signal's name
};

// The signals that stop a run on this host, in the order the help lists them.
extern const StopSignalName kStopSignals[];
extern const std::size_t kStopSignalCount;

// Catches the stop signals from now on; on POSIX no call is restarted after
// one, so the current wait ends at once. A second one calls `atOnce` (only
// async-signal-safe calls) and exits with kStoppedAtOnceText.
void CatchStopSignals(void (*atOnce)() = nullptr);

// The first stop signal caught, or 0.
int StopSignal();

// 128 + `signal`, as a shell reports a program ended by it.
int StopStatus(int signal);

// How the stop line names `signal`: its kStopSignals entry's `shown`, or
// "signal N" for one not listed (N 0..99; `spare` of at least 12 bytes holds
// that text). Signal-safe.
const char* StopSignalShown(int signal, char* spare);

// Printed when a run stops on a signal; "%s" takes StopSignalShown.
constexpr const char* kStoppedText = "\n ERROR! Stopped (%s)\n";

// Written before the signal's name when a second stop ends the run at once.
constexpr const char* kStoppedAtOnceText = "\n ERROR! Stopped at once (";

// kStoppedAtOnceText, StopSignalShown(signal), ")" and a newline into `text`
// (at least kStoppedAtOnceLineSize bytes, not terminated); returns the
// length. Signal-safe.
constexpr std::size_t kStoppedAtOnceLineSize = 64;
std::size_t StoppedAtOnceLine(int signal, char* text);
