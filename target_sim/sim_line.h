// The simulated target's end of the serial line: when each byte from the
// host has fully arrived, and which answer bytes are due to the host when.
//
// On a paced line every character occupies the wire for its 11 bits (start,
// 8 data, 2 stop) at 9600 baud in each direction, as on the board's line: a
// byte from the host has arrived one character time after the wire was free
// for it, and an answer byte is handed to the host only once its last stop
// bit would have left the wire. On an instant line (charTimeNs 0) bytes
// arrive when read and answers are due at once. A line may also hold its
// answers back as a USB adapter's latency timer or a network does (holdNs).
#pragma once

#include <cstdint>
#include <deque>
#include <string>

// 11 bits at 9600 baud: 1145833 ns (1.146 ms) per character.
constexpr int64_t kCharTimeNs = 11LL * 1000000000LL / 9600;

struct AnswerByte {
    unsigned char byte;
    int64_t dueNs;  // monotonic time the byte has fully crossed the wire
};

struct SimLine {
    int64_t charTimeNs = 0;     // 0: an instant line
    int64_t receiveFreeNs = 0;  // when the host-to-target wire is next free
    int64_t sendFreeNs = 0;     // when the target-to-host wire is next free
    int64_t holdNs = 0;         // how long an answer byte may be held back (0: never)
    int64_t releaseNs = -1;     // when the bytes held now go on to the host
    std::deque<AnswerByte> answers;

    // How late answer bytes reached the host side against their due time.
    int64_t bytesSent = 0;
    int64_t latenessSumNs = 0;
    int64_t latenessMaxNs = 0;
};

// Returns the monotonic time (ns) at which a byte the host wrote, read from
// the port at `readNs`, has fully arrived: one character time after the wire
// was free for it, so a burst from the host arrives one character at a time.
int64_t ReceivedAt(SimLine* line, int64_t readNs);

// Queues `text` for the host. Its first byte goes on the wire no earlier
// than `notBeforeNs` and after every byte queued before it; each byte is due
// one character time after it went on the wire. With a hold, a byte that
// finds nothing held is held holdNs, and every byte due meanwhile goes on
// with it, as an adapter's latency timer passes them on. Nothing is written
// here.
void QueueAnswer(SimLine* line, const std::string& text, int64_t notBeforeNs);

// Writes to `fd` (non-blocking) every queued byte due at `nowNs`, in one
// write, and counts how late each was. Returns 0 when every due byte was
// written, 1 when the port's buffer is full (the rest stays queued; wait for
// the port to be writable), -1 on a write error (the due bytes are dropped).
int WriteDueAnswers(SimLine* line, int fd, int64_t nowNs);

// Returns the due time (ns) of the next queued byte, or -1 when none is queued.
int64_t NextAnswerDue(const SimLine& line);

// Asks the kernel not to defer this process's timer wake-ups for batching
// (Linux timer slack, 50 us by default), so a due answer leaves on time.
// Does nothing where there is no such setting.
void SetFineTimers();
