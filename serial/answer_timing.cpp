#include "serial/answer_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// 11 bits at 9600 baud.
constexpr int64_t kCharUs = (11LL * 1000000 + 4800) / 9600;  // 1146, rounded

int64_t lineFreeUs = 0;       // when the host's last byte has left the line
bool awaitingAnswer = false;  // a write came since the last byte read
int64_t delays[kTimedAnswers];
int timed = 0;
char portName[80] = "";

}  // namespace

int64_t SteadyNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void StartAnswerTiming(const char* name) {
    lineFreeUs = 0;
    awaitingAnswer = false;
    timed = 0;
    std::snprintf(portName, sizeof portName, "%s", name);
}

void NoteBytesWritten(int64_t nowUs, std::size_t count) {
    lineFreeUs = std::max(nowUs, lineFreeUs) + static_cast<int64_t>(count) * kCharUs;
    awaitingAnswer = true;
}

void NoteByteRead(int64_t nowUs, bool waited) {
    if (!awaitingAnswer) {
        return;
    }
    awaitingAnswer = false;
    const int64_t delay = std::max<int64_t>(0, nowUs - lineFreeUs - kCharUs);
    if (timed < kTimedAnswers && (waited || delay <= kSlowAnswerUs)) {
        delays[timed++] = delay;
    }
}

bool AnswersCameSlowly(int64_t* quartileUs) {
    *quartileUs = 0;
    if (timed == 0) {
        return false;
    }
    int64_t sorted[kTimedAnswers];
    std::copy(delays, delays + timed, sorted);
    std::sort(sorted, sorted + timed);
    // The lower quartile: a busy machine delays some answers by whole
    // milliseconds, a latency timer or a network delays every one.
    *quartileUs = sorted[timed / 4];
    return timed >= kLeastTimedAnswers && *quartileUs > kSlowAnswerUs;
}

const char* TimedPortName() {
    return portName;
}
