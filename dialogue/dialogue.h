// The host's side of every exchange with the target's monitor: the prompt
// wait and the drain, then each program's own steps (a record and its
// verdict, a character and its echo, a dump request and its answer).
// `stopRequested`, where a step takes one, may be nullptr (never stopped).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// What every program prints when a wait ends without an answer, when the
// port itself was lost, and when a drain gave up on a target that kept talking.
constexpr const char* kNoResponseText = "\n ERROR! No Response from target";
constexpr const char* kPortLostText =
    "\n ERROR! Port lost: the line hung up or its device was removed\n";
constexpr const char* kNeverQuietText =
    "\n ERROR! Target keeps sending: the line never fell quiet\n";

// Bounds of a prompt wait that has not met its prompt: the bytes it reads in
// all, and its time in per-byte timeouts, so a flood or a trickle of other
// text ends it.
constexpr long kPromptReadLimit = 4096;
constexpr int kPromptWaitTimeouts = 3;

// What the last prompt wait that ended with kNoPrompt awaited, and what came.
struct PromptMiss {
    const char* pattern;  // the prompt awaited
    char start[41];       // the first bytes that came instead, terminated
    long received;        // the bytes that came in all
    bool keptSending;     // ended at a bound with the line still busy; else at a silence
};
const PromptMiss& LastPromptMiss();

// Collects into `dataBuf` (`capacity` bytes, cut to bufSize - 1, cleared first; what
// comes past it is read, not stored) until `pattern` (at most 15 characters): kDone.
// Silence before the capacity: kSilent; the port lost: kPortLost; silence after it or
// a bound of kPromptReadLimit or kPromptWaitTimeouts: kNoPrompt (LastPromptMiss).
Outcome WaitForPrompt(ComPort port, char* dataBuf, std::size_t bufSize, const char* pattern,
                      int32_t perByteTimeoutMs, std::size_t capacity, char* inByte);

// How long, and how many bytes (what the 9600 baud 8N2 line carries in that
// time), a drain reads before it gives up on a line that never falls quiet.
constexpr int32_t kDrainLimitMs = 5000;
constexpr long kDrainLimitBytes = static_cast<long>(kDrainLimitMs) * 9600 / 11 / 1000;

// Throws bytes away until one wait of `timeoutMs` brings nothing.
// Returns kDone, or kChatter once past kDrainLimitMs or kDrainLimitBytes.
Outcome DrainComInput(ComPort port, int32_t timeoutMs);

// Why a wait on `port` brought nothing: kPortLost once it hung up, else kSilent.
Outcome SilenceOn(ComPort port);

// Sends `record` (colon to checksum): ":", `colonPauseMs`, an input flush, then
// one write a character, each shown on standard output, `charPauseMs` after each.
void SendRecordByCharacter(ComPort port, const char* record, int32_t colonPauseMs,
                           int32_t charPauseMs);

// Sends `record` (colon to checksum): ":", `colonPauseMs`, then the rest in one write.
void SendRecordInOneWrite(ComPort port, const char* record, int32_t colonPauseMs);

// Waits for "*", "?" or "E" (*err_no 0, 1, 2) past other bytes: kDone, kSilent or kPortLost
// after `waits` silent waits (one once stopped), kChatter past `chatterBytes` or waits*waitMs.
Outcome AwaitVerdict(ComPort port, int32_t waitMs, int waits, int chatterBytes,
                     int (*stopRequested)(), char* inByte, int* err_no);

// Collects up to `maxBytes` into `tempBuf` until "*", "?" or "E" (*err_no 0, 1, 2): kDone,
// kBadAnswer without one, kSilent or kPortLost at the first silence a stop did not cut.
Outcome CollectVerdict(ComPort port, char* tempBuf, std::size_t bufSize, int maxBytes,
                       int32_t perByteMs, int (*stopRequested)(), char* inByte, int* err_no);

// Waits `timeoutMs` for an echo into *inByte (0 for none; a wait a stop cut short is
// made again). Returns kDone, kSilent or kPortLost.
Outcome WaitForEcho(ComPort port, int32_t timeoutMs, int (*stopRequested)(), int8_t* inByte);

// One program's figures for a dump request.
struct DumpRow {
    int32_t perByteMs;        // wait for each byte of a reply
    std::size_t answerChars;  // characters of a whole answer
    std::size_t cleared;      // bytes of dataBuf cleared before the answer
    int32_t quietMs;          // quiet that ends the drain after it
};

// Sends ";", then "10" + `address` in hex, reading a byte after each; collects the answer
// into `dataBuf` (*dataBufIndex chars), drains: kDone if whole, kSilent, kPortLost, kChatter.
Outcome RequestDump(ComPort port, const DumpRow& row, uint16_t address, char* dataBuf,
                    std::size_t bufSize, int32_t* dataBufIndex, char* inByte);
