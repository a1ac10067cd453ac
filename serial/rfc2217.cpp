#include "serial/rfc2217.h"

#include <cstdio>

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kBinary = 0;
constexpr unsigned char kComPort = 44;

// COM-PORT-OPTION commands; the server answers each with its number + 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kSetControl = 5;
constexpr unsigned char kPurgeData = 12;
constexpr unsigned char kServerAnswer = 100;

enum Phase { kData, kAfterIac, kOption, kSub, kSubIac };

// Writes IAC SB COM-PORT-OPTION `command` `value` IAC SE, with 0xFF in the
// value doubled. Returns the count.
std::size_t Subnegotiation(unsigned char command, const unsigned char* value, std::size_t length,
                           unsigned char* out) {
    std::size_t n = 0;
    out[n++] = kIac;
    out[n++] = kSb;
    out[n++] = kComPort;
    out[n++] = command;
    n += EscapeRfc2217(value, length, out + n);
    out[n++] = kIac;
    out[n++] = kSe;
    return n;
}

std::size_t Setting(unsigned char command, unsigned char value, unsigned char* out) {
    return Subnegotiation(command, &value, 1, out);
}

// Answers WILL, WONT, DO or DONT `option` from the server into `reply`.
// Returns the count written: only options not needed are answered (refused,
// once each); those asked for in the opening need no answer.
std::size_t Negotiate(Rfc2217* state, unsigned char verb, unsigned char option,
                      unsigned char* reply) {
    const bool wanted = option == kBinary || (option == kComPort && verb != kWill);
    if (option == kComPort && verb == kDo) {
        state->comPortAgreed = true;
    }
    if (option == kComPort && verb == kDont) {
        state->comPortRefused = true;
    }
    if (wanted || (verb != kDo && verb != kWill)) {
        return 0;
    }
    const int bit = (verb == kDo ? 0 : 256) + option;
    unsigned char& mark = state->refused[bit / 8];
    const unsigned char flag = static_cast<unsigned char>(1U << (bit % 8));
    if ((mark & flag) != 0) {
        return 0;
    }
    mark |= flag;
    reply[0] = kIac;
    reply[1] = verb == kDo ? kWont : kDont;
    reply[2] = option;
    return 3;
}

// The SET-CONTROL answers that tell the state of BREAK, DTR or RTS, not
// the flow control (RFC 2217's values 4 to 12).
bool TellsModemLine(unsigned char value) {
    return value >= 4 && value <= 12;
}

void EndSubnegotiation(Rfc2217* state) {
    if (state->subLength < 2 || state->sub[0] != kComPort ||
        state->sub[1] < kServerAnswer + kSetBaudRate ||
        state->sub[1] > kServerAnswer + kSetControl) {
        return;
    }
    ++state->settingsAnswered;
    const int command = state->sub[1] - kServerAnswer;
    const unsigned char* value = state->sub + 2;
    const std::size_t length = state->subLength - 2;
    if (command == kSetBaudRate && length >= 4) {
        state->acknowledged[kRfc2217Baud] = (int64_t{value[0]} << 24) | (int64_t{value[1]} << 16) |
                                            (int64_t{value[2]} << 8) | int64_t{value[3]};
    } else if (command != kSetBaudRate && length >= 1 &&
               !(command == kSetControl && TellsModemLine(value[0]))) {
        // kSetDataSize .. kSetControl answer the settings in that order.
        state->acknowledged[kRfc2217DataSize + command - kSetDataSize] = value[0];
    }
}

// What was asked for each checked setting (Rfc2217LineSettings).
constexpr int64_t kAskedDataSize = 8;
constexpr int64_t kAskedParity = 1;    // none
constexpr int64_t kAskedStopSize = 2;  // 2 stop bits
constexpr int64_t kAskedFlow = 1;      // none

// A setting's value in words into `text`: RFC 2217's numbers for parity,
// stop bits and flow control named, a baud rate or data size as it stands.
void SettingValue(int setting, int64_t value, char* text, std::size_t size) {
    static const char* const kParities[] = {"?", "none", "odd", "even", "mark", "space"};
    static const char* const kStopSizes[] = {"?", "1", "2", "1.5"};
    const char* named = nullptr;
    if (setting == kRfc2217Parity && value >= 1 && value <= 5) {
        named = kParities[value];
    } else if (setting == kRfc2217StopSize && value >= 1 && value <= 3) {
        named = kStopSizes[value];
    } else if (setting == kRfc2217Flow) {
        named = value == 1 || value == 14   ? "none"
                : value == 2 || value == 15 ? "XON/XOFF"
                : value == 3 || value == 16 ? "hardware (RTS/CTS)"
                                            : nullptr;
    }
    if (named != nullptr) {
        std::snprintf(text, size, "%s", named);
    } else {
        std::snprintf(text, size, "%lld", static_cast<long long>(value));
    }
}

}  // namespace

int Rfc2217SettingKept(const Rfc2217& state, uint32_t baud, char* text, std::size_t size) {
    static const char* const kNames[] = {"baud rate", "data bits", "parity", "stop bits",
                                         "flow control"};
    const int64_t asked[kRfc2217Checked] = {baud, kAskedDataSize, kAskedParity, kAskedStopSize,
                                            kAskedFlow};
    text[0] = '\0';
    for (int setting = 0; setting < kRfc2217Checked; ++setting) {
        const int64_t kept = state.acknowledged[setting];
        if (kept < 0 || kept == asked[setting]) {
            continue;
        }
        char keptText[24];
        char askedText[24];
        SettingValue(setting, kept, keptText, sizeof keptText);
        SettingValue(setting, asked[setting], askedText, sizeof askedText);
        std::snprintf(text, size, "the %s at %s (%s was asked for)", kNames[setting], keptText,
                      askedText);
        return setting;
    }
    return kRfc2217Checked;
}

bool SpotTelnetNegotiation(const unsigned char* bytes, std::size_t count, bool* afterIac) {
    bool spotted = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (*afterIac && bytes[i] >= kSb && bytes[i] <= kDont) {
            spotted = true;
        }
        // IAC IAC is a data byte 0xFF, not the start of a command.
        *afterIac = !*afterIac && bytes[i] == kIac;
    }
    return spotted;
}

std::size_t Rfc2217Opening(unsigned char* out) {
    const unsigned char opening[] = {kIac,    kWill, kBinary, kIac,    kDo,
                                     kBinary, kIac,  kWill,   kComPort};
    for (std::size_t i = 0; i < sizeof opening; ++i) {
        out[i] = opening[i];
    }
    return sizeof opening;
}

std::size_t Rfc2217LineSettings(uint32_t baud, unsigned char* out) {
    const unsigned char rate[4] = {
        static_cast<unsigned char>(baud >> 24), static_cast<unsigned char>(baud >> 16),
        static_cast<unsigned char>(baud >> 8), static_cast<unsigned char>(baud)};
    std::size_t n = Subnegotiation(kSetBaudRate, rate, sizeof rate, out);
    n += Setting(kSetDataSize, 8, out + n);
    n += Setting(kSetParity, 1, out + n);  // none
    n += Setting(kSetStopSize, 2, out + n);
    n += Setting(kSetControl, 1, out + n);  // no flow control
    n += Setting(kSetControl, 9, out + n);  // DTR off: many boards reset on it
    return n;
}

std::size_t Rfc2217Purge(unsigned char* out) {
    return Setting(kPurgeData, 1, out);  // 1: the server's receive buffer
}

std::size_t EscapeRfc2217(const unsigned char* bytes, std::size_t count, unsigned char* out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[n++] = bytes[i];
        if (bytes[i] == kIac) {
            out[n++] = kIac;
        }
    }
    return n;
}

std::size_t TakeRfc2217(Rfc2217* state, const unsigned char* bytes, std::size_t count,
                        unsigned char* data, unsigned char* reply, std::size_t* replyLength) {
    std::size_t kept = 0;
    *replyLength = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        switch (state->phase) {
            case kData:
                if (b == kIac) {
                    state->phase = kAfterIac;
                } else {
                    data[kept++] = b;
                }
                break;
            case kAfterIac:
                state->phase = kData;
                if (b == kIac) {
                    data[kept++] = b;
                } else if (b >= kWill && b <= kDont) {
                    state->verb = b;
                    state->phase = kOption;
                } else if (b == kSb) {
                    state->subLength = 0;
                    state->phase = kSub;
                }
                // Any other command (NOP, GA, ...) carries nothing for us.
                break;
            case kOption:
                *replyLength += Negotiate(state, state->verb, b, reply + *replyLength);
                state->phase = kData;
                break;
            case kSub:
            case kSubIac:
                if (state->phase == kSub && b == kIac) {
                    state->phase = kSubIac;
                    break;
                }
                if (state->phase == kSubIac && b != kIac) {
                    // IAC SE ends it; anything else after IAC is broken and
                    // ends it too.
                    EndSubnegotiation(state);
                    state->phase = kData;
                    break;
                }
                if (state->subLength < sizeof state->sub) {
                    state->sub[state->subLength++] = b;
                }
                state->phase = kSub;
                break;
            default:
                state->phase = kData;
                break;
        }
    }
    return kept;
}
