// The opening handshake, a step every program takes with its own row of
// figures; its time estimate and the benchmark's floor read the same row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// One program's figures for the handshake.
struct HandshakeRow {
    int32_t wakePauseMs;    // pause after "@", before collecting (nothing is read in it)
    std::size_t capacity;   // bytes collected at most; more are read, not kept
    int32_t perByteMs;      // wait for each byte of the answer (ms)
    const char* readyLine;  // printed on standard output once the prompt came
    int32_t settleMs;       // quiet that ends the drain, or the pause before the flush
    bool settleByFlush;     // settle by a pause and a flush of input instead of a drain
};

// Sends "@", pauses, then (unless stopRequested: kStopped) waits for "$$$" into
// `dataBuf`, prints the ready line and settles. Returns as WaitForPrompt, or kChatter.
Outcome Handshake(ComPort port, const HandshakeRow& row, char* dataBuf, std::size_t bufSize,
                  char* inByte, int (*stopRequested)() = nullptr);
