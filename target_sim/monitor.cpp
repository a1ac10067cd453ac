// Wake-up and record upload: the commands every loader relies on.
#include "target_sim/monitor.h"

#include <cstdio>
#include <utility>

namespace {

// A half-sent command is dropped after this long without a byte, as the
// board's monitor returns to its command loop.
constexpr int64_t kCommandIdleMs = 2000;

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int ByteAt(const std::string& digits, std::size_t index) {
    return HexValue(static_cast<unsigned char>(digits[2 * index])) * 16 +
           HexValue(static_cast<unsigned char>(digits[2 * index + 1]));
}

}  // namespace

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char kind = text[++i];
        if (kind == 'r') {
            out += '\r';
        } else if (kind == 'n') {
            out += '\n';
        } else if (kind == 't') {
            out += '\t';
        } else if (kind == 'x' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += kind;
        }
    }
    return out;
}

Monitor::Monitor(const SimConfig& config, SimLink link) : config_(config), link_(std::move(link)) {}

void Monitor::OnQuiet(int64_t nowMs) {
    if ((mode_ == Mode::Record || mode_ == Mode::DumpAddress) &&
        nowMs - lastByteMs_ > kCommandIdleMs) {
        link_.event("abandoned " + std::string(mode_ == Mode::Record ? "record" : "dump") +
                    " command");
        mode_ = Mode::Command;
    }
}

void Monitor::OnByte(unsigned char byte, int64_t nowMs) {
    lastByteMs_ = nowMs;
    if (chattering_) {
        return;  // a target stuck talking hears nothing more
    }
    switch (mode_) {
        case Mode::Record:
            OnRecordByte(byte);
            return;
        case Mode::DumpAddress:
            OnDumpAddressByte(byte);
            return;
        case Mode::BasicPrompt:
        case Mode::Basic:
            OnBasicByte(byte);
            return;
        case Mode::Command:
            break;
    }
    switch (byte) {
        case '@':
            Wake();
            return;
        case ':':
            mode_ = Mode::Record;
            record_.clear();
            ++recordNumber_;
            return;
        case '!':
            link_.event("upload end");
            return;
        case ';':
            OnDumpCommand(byte);
            return;
        case 'B':
            StartBasic();
            return;
        default:
            return;  // the monitor ignores what it does not know
    }
}

bool Monitor::FaultAt(const std::string& point) {
    if (point == config_.hangUpAt) {
        link_.event("hang-up at " + point);
        link_.hangUp();
        return true;
    }
    if (point == config_.chatterAt) {
        link_.event("chatter from " + point);
        chattering_ = true;
        return true;
    }
    return false;
}

void Monitor::Wake() {
    if (FaultAt("wake")) {
        return;
    }
    if (config_.silentWake) {
        link_.event("wake ignored");
        return;
    }
    link_.event("wake");
    if (config_.splitPrompt) {
        link_.splitSend(config_.prompt);
    } else {
        link_.send(config_.prompt);
    }
}

void Monitor::Answer(const std::string& text) {
    link_.send(text);
}

void Monitor::OnRecordByte(unsigned char byte) {
    if (HexValue(byte) < 0) {
        link_.event("record " + std::to_string(recordNumber_) + " malformed");
        mode_ = Mode::Command;
        Answer("?");
        return;
    }
    record_ += static_cast<char>(byte);
    if (record_.size() >= 2 &&
        record_.size() == 10 + 2 * static_cast<std::size_t>(ByteAt(record_, 0))) {
        mode_ = Mode::Command;
        FinishRecord();
    }
}

void Monitor::FinishRecord() {
    const int number = recordNumber_;
    const std::string name = "record " + std::to_string(number);
    if (FaultAt("record:" + std::to_string(number))) {
        return;
    }
    if (config_.silentFromRecord > 0 && number >= config_.silentFromRecord) {
        link_.event(name + " not answered");
        return;
    }
    const std::size_t count = record_.size() / 2;
    int sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += ByteAt(record_, i);
    }
    const int len = ByteAt(record_, 0);
    const uint32_t address = static_cast<uint32_t>(ByteAt(record_, 1) * 256 + ByteAt(record_, 2));
    const int type = ByteAt(record_, 3);
    std::string verdict = "*";
    if ((sum & 0xFF) != 0) {
        verdict = "E";
    } else if (type == 0) {
        for (int i = 0; i < len; ++i) {
            memory[(addressBase_ + address + static_cast<uint32_t>(i)) & 0xFFFF] =
                static_cast<unsigned char>(ByteAt(record_, 4 + static_cast<std::size_t>(i)));
        }
    } else if ((type == 2 || type == 4) && len == 2) {
        const uint32_t value = static_cast<uint32_t>(ByteAt(record_, 4) * 256 + ByteAt(record_, 5));
        addressBase_ = type == 2 ? value << 4 : value << 16;
    } else if (type == 1 || type == 3 || type == 5) {
        // End and start-address records carry nothing to store.
    } else {
        verdict = "?";
    }
    link_.event(name + " " + verdict + " :" + record_);
    auto chosen = config_.recordAnswers.find(number);
    Answer(chosen != config_.recordAnswers.end() ? chosen->second : verdict);
}
