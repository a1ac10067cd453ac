#include "dialogue/dialogue.h"

#include <chrono>
#include <cstring>

Outcome SilenceOn(ComPort port) {
    return ComPortGone(port) ? Outcome::kPortLost : Outcome::kSilent;
}

Outcome WaitForPrompt(ComPort port, char* dataBuf, std::size_t bufSize, const char* pattern,
                      int32_t perByteTimeoutMs, std::size_t capacity, char* inByte) {
    if (bufSize == 0) {
        return Outcome::kSilent;
    }
    if (capacity >= bufSize) {
        capacity = bufSize - 1;
    }
    std::memset(dataBuf, 0, capacity + 1);
    std::size_t count = 0;
    while (count < capacity) {
        unsigned char received = WaitForComByte(port, perByteTimeoutMs);
        if (received == 0) {
            return SilenceOn(port);
        }
        *inByte = static_cast<char>(received);
        dataBuf[count++] = static_cast<char>(received);
        if (std::strstr(dataBuf, pattern) != nullptr) {
            return Outcome::kDone;
        }
    }
    return Outcome::kDone;
}

Outcome DrainComInput(ComPort port, int32_t timeoutMs) {
    // Bounded by time, so a target that trickles its chatter just faster
    // than `timeoutMs` is caught; and by the bytes the line carries in that
    // time, so a flood is caught by what was received, however late this
    // program or the sender got the processor.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainLimitMs);
    long drained = 0;
    while (WaitForComByte(port, timeoutMs) != 0) {
        if (++drained >= kDrainLimitBytes || std::chrono::steady_clock::now() >= giveUp) {
            return Outcome::kChatter;
        }
    }
    return Outcome::kDone;
}
