// Hints in plain words after the common failures, on standard error, each
// after the program's own message on standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "serial/serial_link.h"

// True for a first argument that looks like an option ("-h", "/?"), which
// none of the programs take.
bool LooksLikeOption(const char* argument);

// True for a port argument that is no number but names a port another way
// ("COM3"); on POSIX a device path (with '/') is not counted.
bool PortArgumentNotNumber(const char* argument);

// The number a port argument ends in ("COM3" gives 3), or -1.
long PortNumberIn(const char* argument);

// True when an echo mismatch typing `piece` at `index` comes from line ends:
// the echo is a CR or LF, or a lone CR was typed earlier in the piece.
bool EchoMismatchAtLineEnd(const char* piece, std::size_t index, int echo);

// Writes to `out` the hint for a port `device` that did not open for `cause`
// (console.h's kOpenFailed*): the owning `group` (nullptr: unknown), or the
// `portCount` ports found, listed in `ports`. Nothing for kOpenFailedOther.
void WriteOpenFailureHint(std::FILE* out, int cause, const char* device, const char* group,
                          const char* ports, int portCount);

// Each of these prints its hint, when it applies, after flushing standard
// output so the hint follows the message it explains.

// After a failure at the first argument, when it looks like an option.
void HintOptionLike(const char* program, const char* argument);

// After a port did not open, when its argument was not a number.
void HintPortArgument(const char* program, const char* argument);

// After OpenCom failed on `portName` with `error`: the cause in plain words.
void HintOpenFailure(const char* portName, int32_t error);

// After the wake-up on `port` brought no prompt, unless a stop or a lost port
// explains it. Call before closing the port.
void HintWakeUpSilence(ComPort port);

// After an echo mismatch typing `piece` at `index`, when it is about line ends.
void HintEchoMismatch(const char* piece, std::size_t index, int echo);
