// Hints in plain words after the common failures, on standard error, each
// printed after the program's own message (which stays on standard output
// exactly as it always was).
//
// Summary:
//   LooksLikeOption, PortArgumentNotNumber, PortNumberIn,
//   EchoMismatchAtLineEnd                   pure: when a hint applies
//   WriteOpenFailureHint                    pure: the text for a port that did not open
//   HintOptionLike, HintPortArgument, HintOpenFailure, HintWakeUpSilence,
//   HintEchoMismatch                        print a hint when it applies
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "serial/serial_link.h"

// True for a first argument that looks like an option ("-h", "--usage",
// "/?", "/h"), which none of the programs take.
bool LooksLikeOption(const char* argument);

// True for a port argument of a Windows program that is not a number but
// names a port some other way ("COM3", "com3", "\\.\COM3"). Text with a '/'
// is not counted on POSIX hosts, where it is a device path.
bool PortArgumentNotNumber(const char* argument);

// The number at the end of a port argument ("COM3" and "\\.\COM3" give 3),
// or -1 when it does not end in digits.
long PortNumberIn(const char* argument);

// True when an echo mismatch while typing `piece` at `index` comes from line
// ends the interpreter does not take: the echo is a CR or LF, or a CR on its
// own (an old Mac line end) was typed earlier in the piece.
bool EchoMismatchAtLineEnd(const char* piece, std::size_t index, int echo);

// What is known about a device's group, for the permission hint.
struct DeviceGroupInfo {
    const char* group;  // name of the group owning the device
    bool listed;        // the user is a member in the system's list
    bool inSession;     // ... and in this login session
};

// Writes the hint for a port that did not open to `out`: `cause` is one of
// console.h's kOpenFailed*, `device` the path or name that was opened,
// `group` what is known of its group (nullptr when nothing), `ports` the
// list of ports found (ListSerialPorts) and `portCount` their number.
// Writes nothing for kOpenFailedOther.
void WriteOpenFailureHint(std::FILE* out, int cause, const char* device,
                          const DeviceGroupInfo* group, const char* ports, int portCount);

// Each of these prints its hint on standard error when it applies, after
// flushing standard output so the hint follows the message it explains.

// After a failure at the first argument: when `argument` looks like an
// option, points to "<program> --help".
void HintOptionLike(const char* program, const char* argument);

// After a Windows program's port did not open: when the port argument was
// not a number, says to give the number (e.g. 3 for COM3).
void HintPortArgument(const char* program, const char* argument);

// After OpenCom failed on `portName` with `error`: the cause in plain words
// (permission: the device's group and a new login; busy: another program
// holds it; no such port: the ports that do exist, or that none were found).
void HintOpenFailure(const char* portName, int32_t error);

// After the wake-up on `port` brought no prompt: when the target was simply
// silent (not a lost port, not a stop signal), names power, the TX/RX
// crossing, the baud rate, and a board left in BASIC. Call before closing
// the port.
void HintWakeUpSilence(ComPort port);

// After an echo mismatch while typing `piece` at `index`: when it is about
// line ends, says the text may use old Mac line ends.
void HintEchoMismatch(const char* piece, std::size_t index, int echo);
