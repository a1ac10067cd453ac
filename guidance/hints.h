// Hints in plain words after the common failures, on standard error, each
// after the program's own message on standard output, on lines of their own
// and wrapped to the terminal (guidance.h's WriteGuidance).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "serial/serial_link.h"

// True for a first argument that looks like an option ("-h", "/?").
bool LooksLikeOption(const char* argument);

// True for a port argument that is no number but names a port another way
// ("COM3"); on POSIX a device path (with '/') is not counted.
bool PortArgumentNotNumber(const char* argument);

// True for a port argument that names a device under /dev without its path
// ("ttyUSB0", "serial0") on hosts that take device paths.
bool BareDeviceName(const char* argument);

// How many of argv[at..argc-1] make, with argv[at], a name split at its
// spaces: up to the first whose last part has a '.' when argv[at]'s has none
// ("My" "Programs\big" "prog.hex" gives 3). Returns 0 when they do not.
int SplitNameWords(int argc, char* const argv[], int at);

// True when an echo mismatch typing `piece` at `index` comes from line ends:
// the echo is a CR or LF, or a lone CR was typed earlier in the piece.
bool EchoMismatchAtLineEnd(const char* piece, std::size_t index, int echo);

// Into `text` (`size` bytes, terminated) the hint for a port `device` that
// did not open for `cause` (console.h's kOpenFailed*), busy or not there,
// with the `portCount` ports found, listed in `ports`. Empty for the other
// causes (permission: port_hints.h).
void FormatOpenFailureHint(char* text, std::size_t size, int cause, const char* device,
                           const char* ports, int portCount);

// Each of these prints its hint, when it applies, after flushing standard
// output so the hint follows the message it explains.

// After a failure at the first argument, when it looks like an option: it
// is none of `program`'s, which are named (option_hints.cpp).
void HintOptionLike(const char* program, const char* argument);

// After a port did not open, when its argument was not a number (or, where
// device paths are taken, was a bare device name). Returns true when it
// hinted: the argument is then the port's whole story.
bool HintPortArgument(const char* argument);

// After OpenCom failed on `portName` with `error`: the cause in plain words.
void HintOpenFailure(const char* portName, int32_t error);

// After the wake-up on `port` brought no prompt, unless a stop or a lost port
// explains it. Call before closing the port.
void HintWakeUpSilence(ComPort port);

// After the file stage of `program`: when an option followed the file name
// at argv[at] (option_hints.h), or else when the command line (`taken`
// arguments from argv[at] in all) held more or looked like a name split at
// its spaces.
void HintArguments(const char* program, int argc, char* const argv[], int at, int taken);

// After a file `name` did not open with `error` (errno): why, in plain words.
void HintFileNotOpened(const char* name, int error);

// After an echo mismatch typing `piece` at `index`, when it is about line ends.
void HintEchoMismatch(const char* piece, std::size_t index, int echo);
