#include "tests/support/e2e.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace {

// The simulated target's priority, where it may be raised.
constexpr int kSimulatorNice = -10;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1]));
    }
    return out;
}

}  // namespace

SimTarget::SimTarget(std::vector<std::string> options) {
    std::vector<std::string> words = {"--transcript", dir_.path() + "/transcript", "--memory-out",
                                      dir_.path() + "/memory"};
    words.insert(words.end(), options.begin(), options.end());
    // Ahead of everything else on the machine where that is allowed (as
    // root, the way CI runs); the programs yield to it in any case (see
    // RunProgram).
    std::string why;
    if (StartSimProcess(TARGETSIM_EXE, words, kSimulatorNice, &process_, &why) != 0) {
        throw std::runtime_error(why);
    }
}

SimTarget::~SimTarget() {
    Stop();
}

void SimTarget::Stop() {
    StopSimProcess(&process_);
}

void SimTarget::Sync() const {
    if (process_.pid <= 0 || process_.output < 0 || kill(process_.pid, SIGUSR1) != 0) {
        return;
    }
    std::string line;
    char c;
    pollfd waiting{process_.output, POLLIN, 0};
    while (poll(&waiting, 1, 60000) > 0) {
        if (read(process_.output, &c, 1) != 1) {
            // Ended by itself (the line hung up): its transcript is complete.
            close(process_.output);
            process_.output = -1;
            return;
        }
        if (c != '\n') {
            line += c;
        } else if (line == "SYNC") {
            return;
        } else {
            line.clear();
        }
    }
}

std::vector<TranscriptLine> SimTarget::Transcript() const {
    Sync();
    std::vector<TranscriptLine> lines;
    std::istringstream in(ReadFileText(dir_.path() + "/transcript"));
    std::string raw;
    while (std::getline(in, raw)) {
        TranscriptLine line{};
        std::size_t first = raw.find(' ');
        std::size_t second = raw.find(' ', first + 1);
        if (raw.empty() || first == std::string::npos) {
            continue;
        }
        line.kind = raw[0];
        line.timeUs = std::atoll(raw.c_str() + first + 1);
        line.text = second == std::string::npos ? "" : raw.substr(second + 1);
        if (line.kind == 'R' || line.kind == 'S') {
            line.text = FromHex(line.text);
        }
        lines.push_back(line);
    }
    return lines;
}

std::string SimTarget::Received() const {
    std::string all;
    for (const auto& line : ReceivedChunks()) {
        all += line.text;
    }
    return all;
}

std::vector<TranscriptLine> SimTarget::ReceivedChunks() const {
    std::vector<TranscriptLine> chunks;
    for (const auto& line : Transcript()) {
        if (line.kind == 'R') {
            chunks.push_back(line);
        }
    }
    return chunks;
}

std::vector<std::string> SimTarget::Events() const {
    std::vector<std::string> events;
    for (const auto& line : Transcript()) {
        if (line.kind == 'E') {
            events.push_back(line.text);
        }
    }
    return events;
}

std::string SimTarget::LineSettings() const {
    std::string last;
    for (const auto& line : Transcript()) {
        if (line.kind == 'L') {
            last = line.text;
        }
    }
    return last;
}

std::vector<unsigned char> SimTarget::Memory() {
    Stop();
    std::string image = ReadFileText(dir_.path() + "/memory");
    return std::vector<unsigned char>(image.begin(), image.end());
}

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args, int timeoutSec,
                     const std::vector<std::string>& extraEnv, const WhileRunning& whileRunning) {
    TempDir scratch;
    Launch launch;
    launch.words = {exe};
    launch.words.insert(launch.words.end(), args.begin(), args.end());
    launch.env = extraEnv;
    launch.outPath = scratch.path() + "/stdout";
    launch.errPath = scratch.path() + "/stderr";
    // The program yields the processor to the simulated target, which stands
    // in for a board with a processor of its own: on a loaded machine an
    // answer then still reaches the program within the program's real
    // protocol windows (a late program only reads later, which its waits
    // allow for).
    launch.niceIncrement = kProgramNice;
    launch.timeoutSec = timeoutSec;
    RunResult result;
    result.status = RunToEnd(launch, whileRunning).status;
    result.output = ReadFileText(launch.outPath);
    result.errors = ReadFileText(launch.errPath);
    return result;
}

std::string ForHost(Host host, std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && host == Host::Wine) {
            out += '\r';
        }
        out += c;
    }
    return out;
}

std::vector<unsigned char> PatternBytes(unsigned first, unsigned count) {
    std::vector<unsigned char> data;
    for (unsigned i = 0; i < count; ++i) {
        data.push_back(static_cast<unsigned char>((first + i * 7) & 0xFF));
    }
    return data;
}

bool HasEvent(const SimTarget& sim, const std::string& start) {
    for (const auto& event : sim.Events()) {
        if (event.rfind(start, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::string DataRecord(unsigned address, const std::vector<unsigned char>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(data.size()), address);
    std::string record = text;
    for (unsigned char byte : data) {
        std::snprintf(text, sizeof text, "%02X", byte);
        record += text;
        sum += byte;
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return record + text;
}

std::string NativeExe(const std::string& program) {
    return std::string(NATIVE_BIN_DIR) + "/" + program;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool HoldsMatch(const std::string& text, const std::string& pattern) {
    return std::regex_search(text, std::regex(pattern));
}

std::string Hex4(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string Filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& marks) {
    for (const auto& [mark, value] : marks) {
        for (std::size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size())) {
            text.replace(at, mark.size(), value);
        }
    }
    return text;
}

// A chunk the target read is one write or, when it read late on a loaded
// machine, several consecutive ones joined; never part of one.
void ExpectReadAsWholeWrites(const SimTarget& sim, const std::vector<std::string>& writes) {
    std::vector<std::string> chunks;
    std::size_t next = 0;
    bool whole = true;
    for (const auto& chunk : sim.ReceivedChunks()) {
        chunks.push_back(chunk.text);
        std::string joined;
        while (next < writes.size() && joined.size() < chunk.text.size()) {
            joined += writes[next++];
        }
        whole = whole && joined == chunk.text;
    }
    EXPECT_TRUE(whole && next == writes.size()) << ::testing::PrintToString(chunks);
}

// The last of a record's n characters cannot be read before 3 * (n - 1) ms
// after the answer the target sent last before its colon (a record starts
// only once that answer is in). Reading late only moves the last character
// later, so the bound holds on any load.
void ExpectPacedByCharacter(const SimTarget& sim, std::size_t records) {
    std::vector<int64_t> arrival;       // time each received byte was read
    std::vector<int64_t> answerBefore;  // time of the last answer sent before it
    int64_t lastAnswer = 0;
    for (const auto& line : sim.Transcript()) {
        if (line.kind == 'S') {
            lastAnswer = line.timeUs;
        } else if (line.kind == 'R') {
            arrival.insert(arrival.end(), line.text.size(), line.timeUs);
            answerBefore.insert(answerBefore.end(), line.text.size(), lastAnswer);
        }
    }
    const std::string received = sim.Received();
    ASSERT_EQ(arrival.size(), received.size());
    std::size_t colon = received.find(':');
    std::size_t seen = 0;
    while (colon != std::string::npos) {
        std::size_t next = received.find(':', colon + 1);
        std::size_t last = (next == std::string::npos ? received.size() : next) - 1;
        const int64_t span = arrival[last] - answerBefore[colon];
        EXPECT_GE(span, 3000 * static_cast<int64_t>(last - colon - 1)) << "record at " << colon;
        ++seen;
        colon = next;
    }
    EXPECT_EQ(seen, records);
}
