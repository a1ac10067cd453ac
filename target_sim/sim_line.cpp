#include "target_sim/sim_line.h"

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>

int64_t ReceivedAt(SimLine* line, int64_t readNs) {
    // The host's driver sends back to back: a byte written while the wire
    // still carries the one before waits for it.
    const int64_t arrival = std::max(readNs, line->receiveFreeNs) + line->charTimeNs;
    line->receiveFreeNs = arrival;
    return arrival;
}

void QueueAnswer(SimLine* line, const std::string& text, int64_t notBeforeNs) {
    for (char c : text) {
        const int64_t start = std::max(notBeforeNs, line->sendFreeNs);
        line->sendFreeNs = start + line->charTimeNs;
        int64_t due = line->sendFreeNs;
        if (line->holdNs > 0) {
            if (due > line->releaseNs) {
                line->releaseNs = due + line->holdNs;
            }
            due = line->releaseNs;
        }
        line->answers.push_back(AnswerByte{static_cast<unsigned char>(c), due});
    }
}

int WriteDueAnswers(SimLine* line, int fd, int64_t nowNs) {
    // Large enough for one write to fill a pseudo-terminal's buffers, so a
    // flood of chatter is on the line at once rather than in pieces that a
    // busy machine could space out into quiet gaps.
    static unsigned char due[32768];
    std::size_t count = 0;
    while (count < line->answers.size() && count < sizeof due &&
           line->answers[count].dueNs <= nowNs) {
        due[count] = line->answers[count].byte;
        ++count;
    }
    if (count == 0) {
        return 0;
    }
    const ssize_t sent = write(fd, due, count);
    if (sent < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return 1;
        }
        line->answers.erase(line->answers.begin(),
                            line->answers.begin() + static_cast<std::ptrdiff_t>(count));
        return -1;
    }
    for (ssize_t i = 0; i < sent; ++i) {
        const int64_t late = nowNs - line->answers.front().dueNs;
        line->latenessSumNs += late;
        line->latenessMaxNs = std::max(line->latenessMaxNs, late);
        ++line->bytesSent;
        line->answers.pop_front();
    }
    return static_cast<std::size_t>(sent) < count ? 1 : 0;
}

int64_t NextAnswerDue(const SimLine& line) {
    return line.answers.empty() ? -1 : line.answers.front().dueNs;
}

#ifdef __linux__
void SetFineTimers() {
    // 1 ns is the smallest slack the kernel takes; the result is not acted
    // on, since a coarser wake-up only makes answers later, which is counted.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}
#else
void SetFineTimers() {}
#endif
