#include "target_sim/session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace {

// How often an idle simulator looks at the line settings and at a half-sent
// command; bytes from the host and due answers wake it at once.
constexpr int64_t kIdleWakeNs = 20000000;
// How often a chattering simulator tops up its queue.
constexpr int64_t kChatterWakeNs = 1000000;
// The gap between the bytes of a prompt sent one byte per write.
constexpr int64_t kSplitGapNs = 20000000;
// Bytes a chattering target keeps queued for the host: more than the port's
// buffer holds, so it stays full.
constexpr std::size_t kChatterQueued = 128 * 1024;

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t NowUs() {
    return NowNs() / 1000;
}

std::string Hex(const unsigned char* bytes, std::size_t count) {
    std::string out;
    char digits[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        out += digits;
    }
    return out;
}

}  // namespace

Session::Session(const SimConfig& config, bool pace, int latencyMs, SimPort* port,
                 Transcript* transcript, Board* board)
    : port_(port),
      transcript_(transcript),
      startUs_(NowUs()),
      monitor_(config, Link()),
      board_(board) {
    // The board's UART keeps the line's pace itself.
    line_.charTimeNs = pace && board == nullptr ? kCharTimeNs : 0;
    if (board != nullptr) {
        board->event = [this](const std::string& text) { Note('E', text); };
    }
    line_.holdNs = static_cast<int64_t>(latencyMs) * 1000000;
    SetFineTimers();
    while (!config.chatterText.empty() && chatter_.size() < 4096) {
        chatter_ += config.chatterText;
    }
}

void Session::Note(char kind, const std::string& text) {
    transcript_->Note(kind, NowUs() - startUs_, text);
}

SimLink Session::Link() {
    SimLink link;
    link.send = [this](const std::string& text) { Send(text); };
    link.splitSend = [this](const std::string& text) { SplitSend(text); };
    link.event = [this](const std::string& text) { Note('E', text); };
    link.hangUp = [this] { hungUp_ = true; };
    return link;
}

void Session::Send(const std::string& text) {
    if (text.empty()) {
        return;
    }
    Note('S', Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    QueueAnswer(&line_, text, answerFromNs_);
}

void Session::SplitSend(const std::string& text) {
    int64_t from = answerFromNs_;
    for (char c : text) {
        Note('S', Hex(reinterpret_cast<const unsigned char*>(&c), 1));
        QueueAnswer(&line_, std::string(1, c), from);
        from += kSplitGapNs;
    }
}

// Reads one chunk from the host and queues the answers; false when nothing
// was there. Each byte is taken in at its arrival on the line, which on a
// paced line is later than the read for all but the first.
bool Session::ServeChunk() {
    unsigned char chunk[512];
    const ssize_t got = read(port_->master, chunk, sizeof chunk);
    if (got <= 0) {
        return false;
    }
    const int64_t readNs = NowNs();
    Note('R', Hex(chunk, static_cast<std::size_t>(got)));
    for (ssize_t i = 0; i < got; ++i) {
        TakeIn(chunk[i], readNs);
    }
    return true;
}

// Hands one byte the host wrote, read at `readNs`, to the board's UART or to
// the monitor.
void Session::TakeIn(unsigned char byte, int64_t readNs) {
    if (board_ != nullptr) {
        // The processor may be ahead of the read, but what it has run is
        // past: the byte cannot enter before its present.
        UartHostByte(&board_->uart, byte, CycleAt(readNs), board_->cycle);
        return;
    }
    answerFromNs_ = ReceivedAt(&line_, readNs);
    monitor_.OnByte(byte, answerFromNs_ / 1000000);
}

int64_t Session::CycleAt(int64_t ns) const {
    const int64_t since = std::max<int64_t>(0, ns - boardStartNs_);
    return since / 1000000000 * kBoardClockHz + since % 1000000000 * kBoardClockHz / 1000000000;
}

int64_t Session::TimeOfCycle(int64_t cycle) const {
    return boardStartNs_ + cycle / kBoardClockHz * 1000000000 +
           cycle % kBoardClockHz * 1000000000 / kBoardClockHz;
}

// Lets time pass for the target. The board's processor runs up to one
// character time past now, so its answers are known before they are due;
// what its UART sent is queued for the moment each byte left the board.
// A chattering monitor tops up its queue; a quiet one may drop a
// half-received command.
void Session::RunTarget() {
    if (board_ != nullptr) {
        RunBoard(board_, CycleAt(NowNs()) + kBoardCharCycles);
        std::string text;
        for (const UartByte& sent : board_->uart.sent) {
            QueueAnswer(&line_, std::string(1, static_cast<char>(sent.byte)),
                        TimeOfCycle(sent.cycle));
            text += static_cast<char>(sent.byte);
        }
        board_->uart.sent.clear();
        if (!text.empty()) {
            Note('S', Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        }
        return;
    }
    // A chattering target keeps the port's buffer full (tens of KiB) and
    // wakes often, so the line never falls quiet for the host however
    // fast it reads, even while the simulator waits for the processor.
    if (monitor_.Chattering() && line_.answers.size() < kChatterQueued) {
        QueueAnswer(&line_, chatter_, NowNs());
    }
}

// Sleeps until the host writes, the next answer byte is due, the port takes
// more (when `writing` is 1: its buffer was full) or the idle wake. Returns
// true when the host wrote.
bool Session::AwaitHost(int writing) {
    int64_t waitNs = monitor_.Chattering() ? kChatterWakeNs : kIdleWakeNs;
    if (board_ != nullptr) {
        // Wakes when the processor is no longer ahead of real time.
        waitNs = std::min(waitNs, std::max<int64_t>(0, TimeOfCycle(board_->cycle) - NowNs()));
    }
    if (writing == 0 && NextAnswerDue(line_) >= 0) {
        waitNs = std::min(waitNs, std::max<int64_t>(0, NextAnswerDue(line_) - NowNs()));
    }
    pollfd waiting{port_->master, static_cast<short>(POLLIN | (writing == 1 ? POLLOUT : 0)), 0};
    timespec timeout{static_cast<time_t>(waitNs / 1000000000),
                     static_cast<long>(waitNs % 1000000000)};
    const int ready = ppoll(&waiting, 1, &timeout, nullptr);
    return ready > 0 && (waiting.revents & POLLIN) != 0;
}

void Session::Serve(const volatile std::sig_atomic_t* stopRequested,
                    volatile std::sig_atomic_t* syncRequested,
                    const std::function<void()>& synced) {
    std::string settings = LineSettings(port_->slave);
    Note('L', settings);
    boardStartNs_ = NowNs();
    int64_t settingsReadNs = boardStartNs_;
    while (*stopRequested == 0) {
        if (*syncRequested != 0) {
            *syncRequested = 0;
            while (ServeChunk()) {
            }
            transcript_->Flush();
            synced();
        }
        RunTarget();
        const int writing = WriteDueAnswers(&line_, port_->master, NowNs());
        const bool hostWrote = AwaitHost(writing);
        if (hostWrote) {
            ServeChunk();
            if (hungUp_) {
                // Both ends closed: the host's descriptor is all that is left
                // of the line, and it reads as hung up from now on.
                CloseSimPort(port_);
                break;
            }
        } else if (line_.answers.empty() && board_ == nullptr) {
            monitor_.OnQuiet(NowUs() / 1000);
        }
        // Read after the line's traffic, so it never delays an answer; the
        // board's many short wakes look only at an idle wake's pace.
        if (board_ == nullptr || hostWrote || NowNs() - settingsReadNs >= kIdleWakeNs) {
            settingsReadNs = NowNs();
            const std::string now = LineSettings(port_->slave);
            if (now != settings) {
                settings = now;
                Note('L', settings);
            }
        }
    }
    // Bytes the host wrote just before the stop are still waiting: take them
    // in, so a transcript read after the stop holds everything the host sent.
    while (ServeChunk()) {
    }
}
