// Memory dump: ";" then "10" and a four-digit address. The monitor answers
// each with one byte, then sends the 16 bytes at the address as 32 hex digits,
// the data record's checksum as 2 more, and a line end the host drains.
#include <cstdio>

#include "target_sim/monitor.h"

namespace {

bool IsHex(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

void Monitor::OnDumpCommand(unsigned char) {
    mode_ = Mode::DumpAddress;
    dumpText_.clear();
    Answer(">");
}

void Monitor::OnDumpAddressByte(unsigned char byte) {
    dumpText_ += static_cast<char>(byte);
    if (dumpText_.size() < 6) {
        return;
    }
    mode_ = Mode::Command;
    const int number = ++dumpNumber_;
    if (FaultAt("dump:" + std::to_string(number))) {
        return;
    }
    bool sound = dumpText_.compare(0, 2, "10") == 0;
    for (std::size_t i = 2; i < 6; ++i) {
        sound = sound && IsHex(static_cast<unsigned char>(dumpText_[i]));
    }
    if (!sound) {
        link_.event("dump " + std::to_string(number) + " malformed " + dumpText_);
        Answer("?");
        return;
    }
    const unsigned address = static_cast<unsigned>(std::stoul(dumpText_.substr(2), nullptr, 16));
    std::string answer;
    unsigned sum = 0x10 + (address >> 8) + (address & 0xFF);
    char digits[3];
    for (unsigned i = 0; i < 16; ++i) {
        unsigned char value = memory[(address + i) & 0xFFFF];
        sum += value;
        std::snprintf(digits, sizeof digits, "%02X", value);
        answer += digits;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    answer += digits;
    link_.event("dump " + std::to_string(number) + " " + dumpText_.substr(2) + " " + answer);
    auto chosen = config_.dumpAnswers.find(number);
    Answer("=");
    Answer(chosen != config_.dumpAnswers.end() ? chosen->second : answer + "\r\n");
}
