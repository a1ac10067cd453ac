// Stop requests from outside the run: Ctrl-C (SIGINT) or SIGTERM.
//
// A caught signal does not end the program where it stands: the flow sees it
// at its next check, closes the file, then the port, and exits with 128 + the
// signal number, as a shell reports a program ended by that signal. A file
// being written then holds only whole records.
#pragma once

// Catches SIGINT and SIGTERM from now on. On POSIX a signal also ends the
// serial link's current wait at once (WaitForComByte returns 0), so the flow
// sees the stop within a pause (at most 1 s). On Windows the runtime delivers
// Ctrl-C and Ctrl-Break as SIGINT from its console handler; the flow sees it
// when the current wait ends (at most 5 s).
void CatchStopSignals();

// The signal caught since CatchStopSignals (SIGINT or SIGTERM), or 0.
int StopSignal();

// The exit status for a run stopped by `signal`: 128 + its number.
int StopStatus(int signal);

// Text printed when a run stops on a signal; "%d" takes the signal number.
constexpr const char* kStoppedText = "\n ERROR! Stopped by signal %d\n";
