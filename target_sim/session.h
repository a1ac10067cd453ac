// One run of the simulated target: the monitor on the port's line, served
// until a stop is asked for or the target hangs up.
//
// Answers are queued, never written from inside the monitor: the serve loop
// hands each byte over when it is due, so the monitor never blocks the line
// and an answer never waits behind the pace of an earlier one. An answer
// starts no earlier than the arrival of the byte that asked for it.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "target_sim/monitor.h"
#include "target_sim/port.h"
#include "target_sim/sim_line.h"
#include "target_sim/transcript.h"

class Session {
  public:
    // A session on `port` with the monitor set up by `config`, paced as a
    // 9600 8N2 line when `pace` is set, its answers held back by up to
    // `latencyMs` ms (0: not at all). The three must outlive the session;
    // events go to `transcript`, timed from now.
    Session(const SimConfig& config, bool pace, int latencyMs, SimPort* port,
            Transcript* transcript);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The monitor, whose memory is loaded before and saved after Serve.
    Monitor& monitor() {
        return monitor_;
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

    SimPort* port_;
    Transcript* transcript_;
    int64_t startUs_;
    SimLine line_;
    int64_t answerFromNs_ = 0;  // arrival of the byte being answered
    bool hungUp_ = false;
    std::string chatter_;  // a few KiB of the chattering target's text
    Monitor monitor_;
};
