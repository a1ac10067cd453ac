// What both hosts' stop handling shares: the exit status and the line
// written when a second stop signal ends the run at once.
#include "host/stop_signal.h"

#include <cstring>

int StopStatus(int signal) {
    return 128 + signal;
}

const char* StopSignalShown(int signal, char* spare) {
    for (std::size_t i = 0; i < kStopSignalCount; ++i) {
        if (kStopSignals[i].number == signal) {
            return kStopSignals[i].shown;
        }
    }
    // No snprintf: this runs inside a signal handler too.
    std::memcpy(spare, "signal ", 7);
    std::size_t length = 7;
    if (signal >= 10) {
        spare[length++] = static_cast<char>('0' + signal / 10 % 10);
    }
    spare[length++] = static_cast<char>('0' + signal % 10);
    spare[length] = '\0';
    return spare;
}

std::size_t StoppedAtOnceLine(int signal, char* text) {
    // strlen and memcpy only: this runs inside a signal handler.
    char spare[12];
    const char* shown = StopSignalShown(signal, spare);
    std::size_t length = std::strlen(kStoppedAtOnceText);
    std::memcpy(text, kStoppedAtOnceText, length);
    const std::size_t shownLength = std::strlen(shown);
    std::memcpy(text + length, shown, shownLength);
    length += shownLength;
    text[length++] = ')';
    text[length++] = '\n';
    return length;
}
