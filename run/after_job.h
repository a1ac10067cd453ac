// What a program does on its port once its job ended well, each asked for on
// the command line: text sent (--send), an answer awaited (--expect within
// --timeout), the console handed to the board (--terminal). Also taken here:
// --load-address, for the programs that read a plain binary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

constexpr int kMaxSends = 16;              // --send given at most this many times
constexpr int kDefaultExpectSeconds = 10;  // --timeout when not given
constexpr int kMaxExpectSeconds = 3600;
constexpr std::size_t kMaxSendBytes = 256;         // one --send's text, its escapes decoded
constexpr int32_t kSendCharPauseMs = 2;            // after every character sent, as typed
constexpr unsigned char kLeaveTerminalKey = 0x1D;  // Ctrl-]

struct AfterJob {
    std::array<const char*, kMaxSends> sends{};  // as given, escapes still in
    int sendCount = 0;
    const char* expect = nullptr;  // as given, escapes still in
    int timeoutSeconds = kDefaultExpectSeconds;
    bool terminal = false;
    const char* loadAddress = nullptr;  // --load-address as given, checked with the file
};

// True when `job` asks for anything after the job.
bool WantsAfterJob(const AfterJob& job);

// Decodes the escapes \r, \n, \t, \\ and \xHH of `text` into `bytes` (`size`
// bytes at most, not terminated). Returns the length, or -1 for a bad escape
// or a text that does not fit.
long DecodeEscapes(const char* text, char* bytes, std::size_t size);

// The options a program takes beyond the ones every program takes.
constexpr unsigned kTakesLoadAddress = 1;  // --load-address HHHH, for a plain binary
constexpr unsigned kTakesRun = 2;          // --run: "RUN" and a CR, before any --send

// Takes --send, --expect, --timeout, --terminal and those of `takes`
// (kTakes... bits) wherever they stand after the program's name, leaving the
// other arguments in order (*argc counts them). Returns 0, or -1 with why
// printed; --terminal is refused when standard input is not a terminal.
int TakeAfterJobOptions(int* argc, char* argv[], unsigned takes, AfterJob* job);

// Waits until the bytes of `text` (`length` of them) have come in that
// order, copying what comes to standard output as it comes; `timeoutMs` in
// all. Returns kDone, kNotSeen when the time ran out, kStopped or kPortLost.
Outcome AwaitText(ComPort port, const char* text, std::size_t length, int32_t timeoutMs);

// Runs what `job` asks for on `port`: the sends in order, the wait for the
// expected text, the terminal. Returns kDone; kNotSeen when the expected
// text did not come in time (the reason on standard error); kStopped; kPortLost.
Outcome RunAfterJob(ComPort port, const AfterJob& job);
