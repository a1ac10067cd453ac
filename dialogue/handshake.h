// The opening handshake of every program, with one row of figures each; the
// pace, the time estimates and the benchmark's floors read the same rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// One program's figures for the handshake.
struct HandshakeRow {
    int32_t wakePauseMs;    // pause after "@", before collecting (nothing is read in it)
    std::size_t capacity;   // bytes collected at most; a full buffer counts as the prompt
    int32_t perByteMs;      // wait for each byte of the answer (ms)
    const char* readyLine;  // printed on standard output once the prompt came
    int32_t settleMs;       // quiet that ends the drain, or the pause before the flush
    bool settleByFlush;     // settle by a pause and a flush of input instead of a drain
};

constexpr HandshakeRow kTorvanexHandshake = {10, 80, 5000, "\n Target Ready\n", 10, true};
constexpr HandshakeRow kTorvaneHandshake = {250, 80, 5000, "\n Target Ready\n", 25, false};
constexpr HandshakeRow kQuilmarkHandshake = {100, 40, 5000, "\n Target Ready\n", 25, false};
constexpr HandshakeRow kFerroltHandshake = {250, 80, 3000, "\n Target Ready \n", 25, false};

// Sends "@", pauses, then (unless stopRequested: kStopped) waits for "$$$" into
// `dataBuf`, prints the ready line and settles. Returns as WaitForPrompt, or kChatter.
Outcome Handshake(ComPort port, const HandshakeRow& row, char* dataBuf, std::size_t bufSize,
                  char* inByte, int (*stopRequested)() = nullptr);
