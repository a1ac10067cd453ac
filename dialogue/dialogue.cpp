#include "dialogue/dialogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

PromptMiss promptMiss{"", {}, 0, false};

bool Stopped(int (*stopRequested)()) {
    return stopRequested != nullptr && stopRequested() != 0;
}

// One wait for a byte; a wait that a stop signal cut short (POSIX ends it at
// once) is made once more, so the unit in flight still gets its answer.
unsigned char WaitThroughStop(ComPort port, int32_t timeoutMs, int (*stopRequested)()) {
    const bool stoppedBefore = Stopped(stopRequested);
    unsigned char received = WaitForComByte(port, timeoutMs);
    if (received == 0 && !stoppedBefore && Stopped(stopRequested) && !ComPortGone(port)) {
        received = WaitForComByte(port, timeoutMs);
    }
    return received;
}

// Keeps what a prompt wait got instead of `pattern`; returns kNoPrompt.
Outcome NotePromptMiss(const char* pattern, const char* collected, long received,
                       bool keptSending) {
    promptMiss.pattern = pattern;
    std::snprintf(promptMiss.start, sizeof promptMiss.start, "%s", collected);
    promptMiss.received = received;
    promptMiss.keptSending = keptSending;
    return Outcome::kNoPrompt;
}

// err_no for a verdict: 0 accepted ("*"), 1 "?", 2 "E".
int VerdictNumber(char verdict) {
    return verdict == '?' ? 1 : verdict == 'E' ? 2 : 0;
}

}  // namespace

Outcome SilenceOn(ComPort port) {
    return ComPortGone(port) ? Outcome::kPortLost : Outcome::kSilent;
}

const PromptMiss& LastPromptMiss() {
    return promptMiss;
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
    // The last bytes received, so the prompt is met past the capacity too.
    char tail[16] = {};
    const std::size_t patternLength = std::min(std::strlen(pattern), sizeof tail - 1);
    const auto giveUp = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(int64_t{kPromptWaitTimeouts} * perByteTimeoutMs);
    std::size_t count = 0;
    long received = 0;
    for (;;) {
        const unsigned char byte = WaitForComByte(port, perByteTimeoutMs);
        if (byte == 0) {
            if (count < capacity || ComPortGone(port)) {
                return SilenceOn(port);
            }
            return NotePromptMiss(pattern, dataBuf, received, false);
        }
        *inByte = static_cast<char>(byte);
        ++received;
        if (count < capacity) {
            dataBuf[count++] = static_cast<char>(byte);
        }
        if (patternLength == 0) {
            return Outcome::kDone;
        }
        std::memmove(tail, tail + 1, patternLength - 1);
        tail[patternLength - 1] = static_cast<char>(byte);
        if (received >= static_cast<long>(patternLength) &&
            std::memcmp(tail, pattern, patternLength) == 0) {
            return Outcome::kDone;
        }
        if (received >= kPromptReadLimit || std::chrono::steady_clock::now() >= giveUp) {
            return NotePromptMiss(pattern, dataBuf, received, true);
        }
    }
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

void SendRecordByCharacter(ComPort port, const char* record, int32_t colonPauseMs,
                           int32_t charPauseMs) {
    // The pause lets the monitor's loader start; what it said meanwhile is
    // stale. One character a write, so the monitor is never sent a burst.
    WriteComBytes(port, ":", 1);
    PauseMs(colonPauseMs);
    FlushComInput(port);
    for (std::size_t i = 1; record[i] != '\0'; ++i) {
        WriteComBytes(port, &record[i], 1);
        std::putchar(record[i]);
        std::fflush(stdout);
        PauseMs(charPauseMs);
    }
}

void SendRecordInOneWrite(ComPort port, const char* record, int32_t colonPauseMs) {
    WriteComBytes(port, ":", 1);
    PauseMs(colonPauseMs);
    WriteComBytes(port, record + 1, std::strlen(record + 1));
}

Outcome AwaitVerdict(ComPort port, int32_t waitMs, int waits, int chatterBytes,
                     int (*stopRequested)(), char* inByte, int* err_no) {
    *err_no = 0;
    int timeouts = 0;
    int skipped = 0;
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int64_t{waits} * waitMs);
    for (;;) {
        // A stop seen before a wait lets that wait run whole, then ends the
        // run at its silence: a stopped run still hears its last verdict.
        const bool stoppedBefore = Stopped(stopRequested);
        *inByte = static_cast<char>(WaitForComByte(port, waitMs));
        if (*inByte == 0) {
            if (stoppedBefore || ++timeouts >= waits || ComPortGone(port)) {
                return SilenceOn(port);
            }
            continue;
        }
        if (*inByte == '*' || *inByte == '?' || *inByte == 'E') {
            *err_no = VerdictNumber(*inByte);
            return Outcome::kDone;
        }
        if (++skipped >= chatterBytes || std::chrono::steady_clock::now() >= giveUp) {
            return Outcome::kChatter;
        }
    }
}

Outcome CollectVerdict(ComPort port, char* tempBuf, std::size_t bufSize, int maxBytes,
                       int32_t perByteMs, int (*stopRequested)(), char* inByte, int* err_no) {
    std::memset(tempBuf, 0, bufSize);
    *err_no = 0;
    const int limit = std::min(maxBytes, static_cast<int>(bufSize) - 1);
    for (int count = 0; count < limit; ++count) {
        *inByte = static_cast<char>(WaitThroughStop(port, perByteMs, stopRequested));
        if (*inByte == 0) {
            return SilenceOn(port);
        }
        tempBuf[count] = *inByte;
        // Searched after every byte, so the verdict found is the byte just
        // received; "*" first, as a record is far more often accepted.
        for (const char verdict : {'*', '?', 'E'}) {
            if (std::strchr(tempBuf, verdict) != nullptr) {
                *err_no = VerdictNumber(verdict);
                return Outcome::kDone;
            }
        }
    }
    return Outcome::kBadAnswer;
}

Outcome WaitForEcho(ComPort port, int32_t timeoutMs, int (*stopRequested)(), int8_t* inByte) {
    const unsigned char echo = WaitThroughStop(port, timeoutMs, stopRequested);
    *inByte = static_cast<int8_t>(echo);
    return echo != 0 ? Outcome::kDone : SilenceOn(port);
}

Outcome RequestDump(ComPort port, const DumpRow& row, uint16_t address, char* dataBuf,
                    std::size_t bufSize, int32_t* dataBufIndex, char* inByte) {
    const std::size_t cleared = std::min(row.cleared, bufSize);
    if (cleared == 0) {
        return Outcome::kSilent;
    }
    // The byte after ";" and after the request says nothing the answer does
    // not: it is read only to keep it out of the answer.
    WriteComBytes(port, ";", 1);
    *inByte = static_cast<char>(WaitForComByte(port, row.perByteMs));
    std::snprintf(dataBuf, bufSize, "10%04X", static_cast<unsigned>(address));
    WriteComBytes(port, dataBuf, std::strlen(dataBuf));
    *inByte = static_cast<char>(WaitForComByte(port, row.perByteMs));

    std::memset(dataBuf, 0, cleared);
    const std::size_t chars = std::min(row.answerChars, cleared - 1);
    *dataBufIndex = 0;
    bool silent = false;
    while (static_cast<std::size_t>(*dataBufIndex) < chars) {
        const unsigned char received = WaitForComByte(port, row.perByteMs);
        if (received == 0) {
            silent = true;
            break;
        }
        *inByte = static_cast<char>(received);
        dataBuf[(*dataBufIndex)++] = *inByte;
    }
    // The line end after the answer, or the rest of a garbled one, must not
    // open the next reply.
    if (DrainComInput(port, row.quietMs) != Outcome::kDone) {
        return Outcome::kChatter;
    }
    return silent ? SilenceOn(port) : Outcome::kDone;
}
