// The simulated target's monitor: a byte-driven state machine that answers
// the host the way the board's resident monitor does, with a 64 KiB memory,
// and can play faults on request.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

struct SimConfig {
    // Answer to "@"; must contain the prompt "$$$" to be a healthy monitor.
    std::string prompt = "\r\nSimulated Z80 board\r\n$$$ ";
    bool silentWake = false;   // never answer "@"
    bool splitPrompt = false;  // send the prompt one byte per write, 20 ms apart
    int silentFromRecord = 0;  // records from this number (1-based) get no answer; 0: never
    std::map<int, std::string> recordAnswers;  // record number -> text sent instead of the verdict

    // Memory dump (";" and "10AAAA"). Requests are numbered from 1.
    std::map<int, std::string> dumpAnswers;  // request number -> text sent instead of the answer

    // BASIC ("B", then the program text).
    std::string basicBanner = "\r\nBoard BASIC\r\nMemory top? ";
    std::string basicReady = "\r\nProgram memory ready\r\nOk\r\n";
    bool silentBasicStart = false;           // no answer to "B"
    bool silentBasicReady = false;           // no answer to the CR after "top?"
    std::map<int, std::string> echoReplace;  // echo number (1-based) -> text echoed instead
    std::map<int, bool> echoDrop;            // echo number -> no echo at all

    // Faults that take over at a point of the conversation: "wake", "record:N",
    // "dump:N", "basic" (the "B"), "echo:N" (the Nth echoed character). There,
    // instead of answering, the target hangs up the line (both ends closed,
    // as an adapter pulled out) or starts talking and never stops.
    std::string hangUpAt;
    std::string chatterAt;
    std::string chatterText = "chatter, chatter\r\n";
};

// What the monitor does with the outside world: send bytes, note events.
struct SimLink {
    std::function<void(const std::string&)> send;       // bytes to the host
    std::function<void(const std::string&)> splitSend;  // bytes, one write each, spaced
    std::function<void(const std::string&)> event;      // a line for the transcript
    std::function<void()> hangUp;                       // close the line for good
};

class Monitor {
  public:
    Monitor(const SimConfig& config, SimLink link);

    // One byte from the host, at `nowMs` (monotonic milliseconds).
    void OnByte(unsigned char byte, int64_t nowMs);
    // Called when the line has been quiet; abandons a half-received command.
    void OnQuiet(int64_t nowMs);
    // True once the target started chattering (SimConfig::chatterAt): from
    // then on the line must be kept busy with SimConfig::chatterText.
    bool Chattering() const {
        return chattering_;
    }

    std::array<unsigned char, 65536> memory{};

  private:
    enum class Mode { Command, Record, DumpAddress, BasicPrompt, Basic };

    void Wake();
    void OnRecordByte(unsigned char byte);
    void FinishRecord();
    void Answer(const std::string& text);
    // True when a hang-up or chatter fault takes over at `point`; it has then
    // been played, and the caller must not answer.
    bool FaultAt(const std::string& point);

    // Memory dump commands (dump.cpp).
    void OnDumpCommand(unsigned char byte);
    void OnDumpAddressByte(unsigned char byte);

    // BASIC interpreter (basic.cpp).
    void StartBasic();
    void OnBasicByte(unsigned char byte);

    const SimConfig& config_;
    SimLink link_;
    Mode mode_ = Mode::Command;
    int64_t lastByteMs_ = 0;
    bool chattering_ = false;

    // Record upload.
    std::string record_;  // hex digits after the colon
    int recordNumber_ = 0;
    uint32_t addressBase_ = 0;  // from extended address records

    // Memory dump.
    std::string dumpText_;  // characters of the request after ";"
    int dumpNumber_ = 0;

    // BASIC.
    std::string basicLine_;  // the program line being typed
    int echoNumber_ = 0;
};

// Turns "\r", "\n", "\t", "\\" and "\xHH" escapes into bytes.
std::string Unescape(const std::string& text);
