// The pace of every program: the line's character time and each pause and
// quiet time the programs take. The flows, the announcement's estimate and
// the benchmark's floor all read these figures, so they cannot drift apart.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "hexrec/hexrec.h"  // UploadWork

// The line: 9600 baud, 11 bits a character (start bit, 8 data bits, 2 stop
// bits), so one character takes about 1.15 ms on the wire.
constexpr int32_t kLineBaud = 9600;
constexpr int kLineBitsPerChar = 11;
constexpr double kLineCharMs = kLineBitsPerChar * 1000.0 / kLineBaud;

// A record the target refused gets the monitor a second to recover (both
// uploaders).
constexpr int32_t kRefusedPauseMs = 1000;

// Torvanex: the record goes out one character at a time.
constexpr int32_t kTorvanexWakePauseMs = kTorvanexHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kTorvanexReadyPauseMs = kTorvanexHandshake.settleMs;    // before the flush
constexpr int32_t kTorvanexColonPauseMs = 5;     // after the colon, before the flush
constexpr int32_t kTorvanexCharPauseMs = 3;      // after every character of a record
constexpr int32_t kTorvanexAcceptedPauseMs = 5;  // after a "*"

// Torvane: the record goes out in one write after the colon.
constexpr int32_t kTorvaneWakePauseMs = kTorvaneHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kTorvaneQuietMs = 25;                                 // silence that ends a drain
constexpr int32_t kTorvaneColonPauseMs = 25;                            // after the colon
constexpr int32_t kTorvaneAcceptedPauseMs = 25;                         // after a "*" and its drain
constexpr int32_t kTorvaneClosePauseMs = 25;  // after "!", before the port closes

// Quilmark: one request for 16 bytes at a time.
constexpr int32_t kQuilmarkWakePauseMs = kQuilmarkHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kQuilmarkQuietMs = 25;  // silence that ends a drain; also the
                                          // pause before the port closes
constexpr int kQuilmarkRequestChars = 6;  // "10" and four address digits

// Ferrolt: the program typed one character at a time, each echo awaited.
constexpr int32_t kFerroltPromptPauseMs = kFerroltHandshake.wakePauseMs;  // before each prompt
constexpr int32_t kFerroltSettleQuietMs = kFerroltHandshake.settleMs;     // ends a prompt's tail
constexpr int32_t kFerroltLineQuietMs = 100;  // silence after a piece or a lost echo
constexpr int32_t kFerroltCharPauseMs = 2;    // after every character typed
constexpr int32_t kFerroltClosePauseMs = 25;  // lets the last CR leave before closing

// The drains after the handshake use the programs' own quiet times.
static_assert(kTorvaneHandshake.settleMs == kTorvaneQuietMs, "Torvane drains alike");
static_assert(kQuilmarkHandshake.settleMs == kQuilmarkQuietMs, "Quilmark drains alike");

// How many characters the target answers with, for the time estimates.
struct TargetAnswers {
    int promptEnd;    // answer to the wake-up up to the end of its "$$$"
    int prompt;       // the whole answer to the wake-up
    int verdict;      // answer to one record
    int dumpOpen;     // answer to ";"
    int dump;         // answer to a dump request: its first byte, the 34
                      // characters and whatever follows them
    int basicBanner;  // answer to "B", up to and with "top?"
    int basicReady;   // answer to the CR after "top?", up to and with "Ok"
    int lineEnd;      // answer to the CR after each typed piece
};

// The least a target honouring the monitor's contract sends: the prompt
// "$$$" alone, one verdict character, one byte to ";", one byte and the 34
// characters to a request, "top?", "Ok", nothing to a line's CR. The programs
// estimate with these; the benchmark with its simulated target's real texts.
constexpr TargetAnswers kLeastAnswers = {3, 3, 1, 1, 1 + 34, 4, 2, 0};

// The work of a dump: the requests of 16 bytes each.
struct DumpWork {
    long requests;
};

// The work of typing a program: its lines, the pieces they are typed in
// (one per line unless a line is cut), the characters whose echo is awaited
// (0x20..0x7F) and the others.
struct TypingWork {
    long lines;
    long pieces;
    long echoed;
    long unechoed;
};

// Milliseconds a run takes at the line's pace (pauses and uncovered character
// times) when the target answers at once with `answers` and accepts every record.
double TorvanexMs(const UploadWork& work, const TargetAnswers& answers);
double TorvaneMs(const UploadWork& work, const TargetAnswers& answers);
double QuilmarkMs(const DumpWork& work, const TargetAnswers& answers);
// Quilmark --verify: the dump's requests, without the pause before the close.
double QuilmarkVerifyMs(const DumpWork& work, const TargetAnswers& answers);
double FerroltMs(const TypingWork& work, const TargetAnswers& answers);
