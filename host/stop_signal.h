// Stop requests from outside the run: Ctrl-C (SIGINT), SIGTERM, and on POSIX
// SIGHUP (the terminal closed).
//
// A caught signal does not end the program where it stands: the flow sees it
// at its next check, finishes the unit in flight (the record being sent, the
// request being answered), closes the file, then the port, and exits with
// 128 + the signal number, as a shell reports a program ended by that signal.
// A file being written then holds only whole records. A second stop signal
// ends the program at once.
#pragma once

#include <cstddef>

// Catches the stop signals from now on. On POSIX no blocking call is
// restarted after one (every wait, open and read ends on it), and the serial
// link's current wait ends at once (WaitForComByte returns 0), so the flow
// sees the stop within a pause (at most 1 s). On Windows the runtime delivers
// Ctrl-C and Ctrl-Break as SIGINT from its console handler; the flow sees it
// when the current wait ends (at most 5 s).
// A second stop signal ends the program from the handler: `atOnce`, when
// given, is called first (it may use only calls that are safe in a signal
// handler: giving back the port's claim, removing a temporary file), then
// kStoppedAtOnceText is written and the program exits with 128 + the signal
// number, file and port left to the system to close.
void CatchStopSignals(void (*atOnce)() = nullptr);

// The signal caught since CatchStopSignals (the first one), or 0.
int StopSignal();

// The exit status for a run stopped by `signal`: 128 + its number.
int StopStatus(int signal);

// Text printed when a run stops on a signal; "%d" takes the signal number.
constexpr const char* kStoppedText = "\n ERROR! Stopped by signal %d\n";

// Text written when a second stop signal ended the run at once, before the
// signal number and a newline.
constexpr const char* kStoppedAtOnceText = "\n ERROR! Stopped at once by signal ";

// Puts kStoppedAtOnceText, the number of `signal` (0..99) and a newline into
// `text` and returns the length (not terminated). `text` must hold
// kStoppedAtOnceLineSize bytes. Uses only calls that are safe in a signal
// handler.
constexpr std::size_t kStoppedAtOnceLineSize = 64;
std::size_t StoppedAtOnceLine(int signal, char* text);
