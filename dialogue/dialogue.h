// The opening of every conversation with the target's monitor: the prompt
// wait and the drain.
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

// Collects bytes from the target into `dataBuf` until `pattern` appears
// anywhere in what was collected, or until `capacity` bytes were collected
// (taken as success too: a chatty monitor still gets its upload).
// First clears the first `capacity` bytes of `dataBuf`; `bufSize` must be
// larger than `capacity` so the text collected stays terminated (a larger
// capacity is cut to bufSize - 1). Each byte is awaited `perByteTimeoutMs`
// milliseconds; the last byte stored is left in *inByte.
// Returns Outcome::kDone on success; Outcome::kSilent when the target fell
// silent (a 0 from WaitForComByte, a stop signal's cut included) or
// `bufSize` is 0, Outcome::kPortLost when the port was found gone then; the
// bytes collected so far stay in `dataBuf`.
Outcome WaitForPrompt(ComPort port, char* dataBuf, std::size_t bufSize, const char* pattern,
                      int32_t perByteTimeoutMs, std::size_t capacity, char* inByte);

// How long a drain reads before it gives up on a line that never falls quiet.
constexpr int32_t kDrainLimitMs = 5000;
// The same bound in bytes: what a 9600 baud 8N2 line (11 bits a character)
// carries in kDrainLimitMs. A real line cannot bring more any sooner; a
// faster link (a pseudo-terminal, a buffered adapter) reaches it first.
constexpr long kDrainLimitBytes = static_cast<long>(kDrainLimitMs) * 9600 / 11 / 1000;

// Reads and throws away bytes until one wait of `timeoutMs` milliseconds
// passes with nothing received (a NUL byte, or the port gone, reads as that).
// Returns Outcome::kDone when the line fell quiet; Outcome::kChatter when
// bytes kept coming for kDrainLimitMs milliseconds or kDrainLimitBytes
// bytes, whichever comes first (a target stuck talking), the rest left on
// the line as it is.
Outcome DrainComInput(ComPort port, int32_t timeoutMs);

// Why a wait on `port` that brought nothing ended: Outcome::kPortLost once
// the port was found hung up or removed, else Outcome::kSilent. A stop
// signal is the caller's to tell: the serial link knows of none.
Outcome SilenceOn(ComPort port);
