#include "dialogue/handshake.h"

#include <cstdio>

#include "dialogue/dialogue.h"

Outcome Handshake(ComPort port, const HandshakeRow& row, char* dataBuf, std::size_t bufSize,
                  char* inByte, int (*stopRequested)()) {
    WriteComBytes(port, "@", 1);
    PauseMs(row.wakePauseMs);
    // A stop during the pause ends the run before it collects an answer it
    // would not act on.
    if (stopRequested != nullptr && stopRequested() != 0) {
        return Outcome::kStopped;
    }
    const Outcome prompt =
        WaitForPrompt(port, dataBuf, bufSize, "$$$", row.perByteMs, row.capacity, inByte);
    if (prompt != Outcome::kDone) {
        return prompt;
    }
    std::fputs(row.readyLine, stdout);
    std::fflush(stdout);
    if (row.settleByFlush) {
        PauseMs(row.settleMs);
        FlushComInput(port);
        return Outcome::kDone;
    }
    return DrainComInput(port, row.settleMs);
}
