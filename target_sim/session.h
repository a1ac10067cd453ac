// One run of the simulated target: the monitor on the port's line, served
// until a stop is asked for or the target hangs up.
//
// Answers are queued, never written from inside the monitor: the serve loop
// hands each byte over when it is due, so the monitor never blocks the line
// and an answer never waits behind the pace of an earlier one. An answer
// starts no earlier than the arrival of the byte that asked for it.
//
// With a board (targetsim --cpu) the firmware on its emulated processor
// answers instead of the monitor: the session runs the processor in step
// with real time, never more than a character time ahead, hands it what the
// host wrote and queues what its UART sent at the moment it left the board.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "target_sim/board.h"
#include "target_sim/monitor.h"
#include "target_sim/port.h"
#include "target_sim/sim_line.h"
#include "target_sim/transcript.h"

class Session {
  public:
    // A session on `port` with the monitor set up by `config`, paced as a
    // 9600 8N2 line when `pace` is set, its answers held back by up to
    // `latencyMs` ms (0: not at all). The three must outlive the session;
    // events go to `transcript`, timed from now. With `board` (started, and
    // outliving the session) its firmware answers instead, on a line always
    // at its own pace, and `config` and `pace` are not used.
    Session(const SimConfig& config, bool pace, int latencyMs, SimPort* port,
            Transcript* transcript, Board* board = nullptr);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The target's memory (the board's or the monitor's), loaded before
    // and saved after Serve.
    std::array<unsigned char, 65536>& memory() {
        return board_ != nullptr ? board_->memory : monitor_.memory;
    }
    // The line model, with its count of how late answers left.
    const SimLine& line() const {
        return line_;
    }
    // Writes a transcript line of `kind` with `text`, timed since the start.
    void Note(char kind, const std::string& text);

    // Serves the host until `*stopRequested` is set or the target hangs up
    // (the port is then closed, both ends), then takes in what the host
    // wrote just before, so the transcript holds everything it sent.
    // Whenever `*syncRequested` is set, clears it, takes in what the host
    // has written, writes the transcript to its file and calls `synced`.
    void Serve(const volatile std::sig_atomic_t* stopRequested,
               volatile std::sig_atomic_t* syncRequested, const std::function<void()>& synced);

  private:
    SimLink Link();
    void Send(const std::string& text);
    void SplitSend(const std::string& text);
    bool ServeChunk();
    bool AwaitHost(int writing);
    void TakeIn(unsigned char byte, int64_t readNs);
    void RunTarget();
    int64_t CycleAt(int64_t ns) const;
    int64_t TimeOfCycle(int64_t cycle) const;

    SimPort* port_;
    Transcript* transcript_;
    int64_t startUs_;
    SimLine line_;
    int64_t answerFromNs_ = 0;  // arrival of the byte being answered
    bool hungUp_ = false;
    std::string chatter_;  // a few KiB of the chattering target's text
    Monitor monitor_;
    Board* board_;
    int64_t boardStartNs_ = 0;  // the moment of the board's cycle 0
};
