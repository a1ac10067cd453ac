// Network port names, the telnet of rfc2217:// ports, and the timing of the
// target's answers: the pure parts of network ports and slow links.
#include "serial/net_port.h"

#include <gtest/gtest.h>

#include <string>

#include "serial/answer_timing.h"
#include "serial/rfc2217.h"
#include "serial/serial_link.h"

namespace {

using Bytes = std::basic_string<unsigned char>;

Bytes B(std::initializer_list<int> values) {
    Bytes bytes;
    for (int v : values) {
        bytes += static_cast<unsigned char>(v);
    }
    return bytes;
}

std::string Split(const char* name) {
    char host[16];
    char service[8];
    if (SplitNetPortName(name, host, sizeof host, service, sizeof service) != 0) {
        return "refused";
    }
    return std::string(host) + " " + service;
}

// Takes `in` through `state`: the data, then "|" and the replies.
Bytes Take(Rfc2217* state, const Bytes& in) {
    unsigned char data[64];
    unsigned char reply[192];
    std::size_t replyLength = 0;
    const std::size_t kept = TakeRfc2217(state, in.data(), in.size(), data, reply, &replyLength);
    return Bytes(data, kept) + B({'|'}) + Bytes(reply, replyLength);
}

}  // namespace

TEST(NetPortName, SchemesTellTheKind) {
    EXPECT_EQ(NetPortKind("tcp://pi:3001"), NetKind::kRawTcp);
    EXPECT_EQ(NetPortKind("RFC2217://pi:3001"), NetKind::kRfc2217);
    EXPECT_EQ(NetPortKind("/dev/ttyUSB0"), NetKind::kNone);
    EXPECT_EQ(NetPortKind("12"), NetKind::kNone);
}

TEST(NetPortName, HostAndPortAreSplitOffTheScheme) {
    EXPECT_EQ(Split("tcp://pi.lan:3001"), "pi.lan 3001");
    EXPECT_EQ(Split("rfc2217://10.0.0.7:65535"), "10.0.0.7 65535");
    EXPECT_EQ(Split("tcp://[::1]:2000"), "::1 2000");
    for (const char* bad : {"tcp://pi", "tcp://:3001", "tcp://pi:", "tcp://pi:0", "tcp://pi:65536",
                            "tcp://pi:30x1", "tcp://::1:2000", "tcp://[::1]2000",
                            "tcp://a-name-too-long-for-sixteen:1", "/dev/ttyUSB0"}) {
        EXPECT_EQ(Split(bad), "refused") << bad;
    }
}

TEST(NetPortName, ANetworkNameIsTakenAsItStandsWithinItsOwnBound) {
    char name[kComPortNameSize] = "untouched";
    ASSERT_EQ(BuildComPortName("rfc2217://192.168.100.200:3001", name, sizeof name), 0);
    EXPECT_STREQ(name, "rfc2217://192.168.100.200:3001");
    const std::string longest = "tcp://" + std::string(kNetPortNameSize - 12, 'h') + ":3001";
    ASSERT_EQ(longest.size(), kNetPortNameSize - 1);
    EXPECT_EQ(BuildComPortName(longest.c_str(), name, sizeof name), 0);
    EXPECT_EQ(BuildComPortName(("tcp://h" + longest.substr(6)).c_str(), name, sizeof name), -1);
}

TEST(Rfc2217, OpeningAndLineSettingsAsTheOptionWritesThem) {
    unsigned char out[96];
    EXPECT_EQ(Bytes(out, Rfc2217Opening(out)), B({255, 251, 0, 255, 253, 0, 255, 251, 44}));
    EXPECT_EQ(Bytes(out, Rfc2217LineSettings(9600, out)),
              B({255, 250, 44, 1, 0, 0,   0x25, 0x80, 255, 240,  // 9600 baud
                 255, 250, 44, 2, 8, 255, 240,                   // 8 data bits
                 255, 250, 44, 3, 1, 255, 240,                   // no parity
                 255, 250, 44, 4, 2, 255, 240,                   // 2 stop bits
                 255, 250, 44, 5, 1, 255, 240,                   // no flow control
                 255, 250, 44, 5, 9, 255, 240}));                // DTR off
    EXPECT_EQ(Bytes(out, Rfc2217Purge(out)), B({255, 250, 44, 12, 1, 255, 240}));
}

TEST(Rfc2217, DataBytesOf0xFFAreDoubledOutAndUndoubledIn) {
    const Bytes data = B({'A', 255, 0, 255});
    unsigned char out[8];
    EXPECT_EQ(Bytes(out, EscapeRfc2217(data.data(), data.size(), out)),
              B({'A', 255, 255, 0, 255, 255}));
    Rfc2217 state;
    EXPECT_EQ(Take(&state, B({'A', 255, 255, 0, 255, 255})), data + B({'|'}));
}

TEST(Rfc2217, OptionsNotNeededAreRefusedOnceAndTheServersAgreementNoted) {
    Rfc2217 state;
    // As a server greets: WILL SGA, DO SGA, WILL ECHO, DO BINARY, WILL
    // BINARY, DO COM-PORT-OPTION, then a modem state notice and data.
    EXPECT_EQ(Take(&state, B({255, 251, 3,   255, 253, 3,   255, 251, 1,   255, 253, 0,   255,
                              251, 0,   255, 253, 44,  255, 250, 44,  107, 0,   255, 240, '$'})),
              B({'$', '|', 255, 254, 3, 255, 252, 3, 255, 254, 1}));
    EXPECT_TRUE(state.comPortAgreed);
    EXPECT_EQ(Take(&state, B({255, 251, 3})), B({'|'}));  // refused already
}

TEST(Rfc2217, CommandsSplitAcrossReadsAndAcknowledgementsAreCounted) {
    Rfc2217 state;
    const Bytes ack = B({255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240});
    for (unsigned char b : ack) {
        EXPECT_EQ(Take(&state, Bytes(1, b)), B({'|'}));
    }
    EXPECT_EQ(Take(&state, B({255, 250, 44, 102, 8, 255, 240, 255, 250, 44, 105, 1, 255, 240, 255,
                              254, 44, '*'})),
              B({'*', '|'}));
    EXPECT_EQ(state.settingsAnswered, 3);
    EXPECT_TRUE(state.comPortRefused);
}

TEST(AnswerTiming, AnswersMostlyLateAreSlowAndQuickOnesAreNot) {
    constexpr int64_t kLine = 1146;  // one character at 9600 8N2, microseconds
    int64_t quartile = 0;
    StartAnswerTiming("/dev/ttyUSB0");
    for (int i = 0; i < kLeastTimedAnswers; ++i) {
        const int64_t at = 1000000 * (i + 1);
        NoteBytesWritten(at, 1);
        NoteByteRead(at + 2 * kLine + 16000, true);  // a 16 ms latency timer
        EXPECT_EQ(AnswersCameSlowly(&quartile), i + 1 == kLeastTimedAnswers);
    }
    EXPECT_EQ(quartile, 16000);
    EXPECT_STREQ(TimedPortName(), "/dev/ttyUSB0");

    // A quick target on a busy machine: the program wakes late for most.
    StartAnswerTiming("tcp://pi:3001");
    for (int i = 0; i < 20; ++i) {
        const int64_t at = 1000000 * (i + 1);
        NoteBytesWritten(at, 6);  // a request of six characters
        NoteByteRead(at + 8 * kLine + (i % 3 == 0 ? 0 : 30000), true);
        NoteByteRead(at + 9 * kLine, true);  // the rest of the answer is not timed
        // A byte that was waiting while the program paused tells nothing.
        NoteBytesWritten(at + 10 * kLine, 1);
        NoteByteRead(at + 500000, false);
    }
    EXPECT_FALSE(AnswersCameSlowly(&quartile));
    EXPECT_EQ(quartile, kLine);
}
