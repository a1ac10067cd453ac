// The opening handshake every program starts its conversation with: send
// "@", pause, collect the monitor's answer until its "$$$" prompt, print the
// ready line, then settle the line. The programs differ only in the figures,
// one row each here; their pace, the time estimates and the benchmark's
// floors read the same rows.
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

// Runs the handshake of `row` on `port`, collecting into `dataBuf` (of
// `bufSize` bytes, more than row.capacity) and leaving the last byte
// collected in *inByte. `stopRequested`, when given, is asked after the
// pause: a stop then ends the handshake before anything is collected.
// Returns Outcome::kDone once the prompt came, the ready line was printed
// and the line settled. When no prompt came, nothing is printed and the
// bytes collected stay in `dataBuf`: Outcome::kStopped for a stop seen after
// the pause, else as WaitForPrompt (Outcome::kSilent, a stop signal's cut
// included, or Outcome::kPortLost). Outcome::kChatter when the drain after
// the ready line gave up on a target that kept talking.
Outcome Handshake(ComPort port, const HandshakeRow& row, char* dataBuf, std::size_t bufSize,
                  char* inByte, int (*stopRequested)() = nullptr);
