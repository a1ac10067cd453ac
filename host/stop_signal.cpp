// What both hosts' stop handling shares: the exit status and the line
// written when a second stop signal ends the run at once.
#include "host/stop_signal.h"

#include <cstring>

int StopStatus(int signal) {
    return 128 + signal;
}

std::size_t StoppedAtOnceLine(int signal, char* text) {
    // strlen and memcpy only: this runs inside a signal handler.
    std::size_t length = std::strlen(kStoppedAtOnceText);
    std::memcpy(text, kStoppedAtOnceText, length);
    if (signal >= 10) {
        text[length++] = static_cast<char>('0' + signal / 10 % 10);
    }
    text[length++] = static_cast<char>('0' + signal % 10);
    text[length++] = '\n';
    return length;
}
