// The programs' own steps (a record and its verdict, an echo, a dump
// request), against a target played on a pseudo-terminal in milliseconds.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/dialogue.h"
#include "tests/dialogue/port_on_pty.h"

namespace {

int asked = 0;
int StopFromSecondAsk() {
    return asked++ > 0 ? 2 : 0;
}
int AlwaysStopped() {
    return 2;
}

// Waits are long where bytes are queued, a few milliseconds where silence is meant.
class Steps : public PortOnPty {
  protected:
    // Queues `bytes` at the program's end, so no wait can miss them.
    bool Queue(const std::string& bytes) {
        const int before = pty.Unread();
        pty.Send(bytes);
        return pty.AwaitUnread(before + static_cast<int>(bytes.size()));
    }
    Outcome Await(int chatterBytes = 1024, int (*stop)() = nullptr, int32_t waitMs = 10000) {
        return AwaitVerdict(port, waitMs, 8, chatterBytes, stop, &inByte, &err_no);
    }
    Outcome Collect(int (*stop)() = nullptr) {
        return CollectVerdict(port, tempBuf, sizeof tempBuf, 8, 10000, stop, &inByte, &err_no);
    }
    Outcome Request(uint16_t address) {
        return RequestDump(port, {10000, 34, 40, 25}, address, dataBuf, sizeof dataBuf,
                           &dataBufIndex, &inByte);
    }
    char inByte = 0;
    int err_no = -1;
    char tempBuf[10] = {};
    char dataBuf[50] = {};
    int32_t dataBufIndex = -1;
};

}  // namespace

TEST_F(Steps, RecordsGoOutWholeByCharacterShownAfterAFlushOrInOneWrite) {
    ASSERT_TRUE(Queue("stale"));
    testing::internal::CaptureStdout();
    SendRecordByCharacter(port, ":0300300002337A1E", 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0300300002337A1E");
    EXPECT_EQ(pty.Take(17), ":0300300002337A1E");
    EXPECT_EQ(pty.Unread(), 0);
    ASSERT_TRUE(Queue("*"));
    SendRecordInOneWrite(port, ":00000001FF", 0);
    EXPECT_EQ(pty.Take(11), ":00000001FF");
    EXPECT_EQ(pty.Unread(), 1);  // a drain follows it, not a flush
}

// Other bytes are skipped, up to a bound; a NUL counts as a silent wait, and
// once a stop came the first silent wait ends it.
TEST_F(Steps, VerdictIsAwaitedPastOtherBytesForEightSilentWaits) {
    ASSERT_TRUE(Queue(std::string("ok\0\xff?E", 6) + std::string(7, '\0') + "*"));
    for (int expected : {1, 2, 0}) {
        EXPECT_EQ(Await(), Outcome::kDone);
        EXPECT_EQ(err_no, expected);
    }
    ASSERT_TRUE(Queue(std::string(8, '\0') + "*"));
    EXPECT_EQ(Await(), Outcome::kSilent);
    EXPECT_EQ(Await(1024, AlwaysStopped), Outcome::kDone);
    ASSERT_TRUE(Queue(std::string(30, 'x') + '\0' + '*'));
    EXPECT_EQ(Await(10), Outcome::kChatter);
    EXPECT_EQ(pty.Unread(), 22);
    EXPECT_EQ(Await(1024, AlwaysStopped), Outcome::kSilent);
    EXPECT_EQ(pty.Unread(), 1);
    EXPECT_EQ(Await(1024, nullptr, 2), Outcome::kDone);
    EXPECT_EQ(Await(1024, nullptr, 2), Outcome::kSilent);
    EXPECT_EQ(inByte, 0);
}

// At most eight bytes; the first silence ends it, unless a stop cut that
// wait short: the record in flight still gets its verdict, a character its echo.
TEST_F(Steps, VerdictIsCollectedFromUpToEightBytesAndAnEchoAwaited) {
    ASSERT_TRUE(Queue(std::string("ok*xyE?abcdefgh\0\0*\0p", 20)));
    for (const char* answer : {"ok*", "xyE", "?"}) {
        EXPECT_EQ(Collect(), Outcome::kDone);
        EXPECT_STREQ(tempBuf, answer);
    }
    EXPECT_EQ(err_no, 1);
    EXPECT_EQ(Collect(), Outcome::kBadAnswer);
    EXPECT_STREQ(tempBuf, "abcdefgh");
    EXPECT_EQ(Collect(), Outcome::kSilent);
    asked = 0;
    EXPECT_EQ(Collect(StopFromSecondAsk), Outcome::kDone);
    int8_t echo = -1;
    asked = 0;
    EXPECT_EQ(WaitForEcho(port, 10000, StopFromSecondAsk, &echo), Outcome::kDone);
    EXPECT_EQ(echo, 'p');
    EXPECT_EQ(WaitForEcho(port, 2, nullptr, &echo), Outcome::kSilent);
    EXPECT_EQ(echo, 0);
}

TEST_F(Steps, DumpRequestCollectsTheAnswerAndDrainsItsTail) {
    const std::string answer = "0102030405060708090A0B0C0D0E0F1068";
    ASSERT_TRUE(Queue("#$" + answer + "\r\n"));
    EXPECT_EQ(Request(0xABC0), Outcome::kDone);
    EXPECT_EQ(pty.Take(7), ";10ABC0");
    EXPECT_EQ(dataBuf, answer);
    EXPECT_EQ(dataBufIndex, 34);
    EXPECT_EQ(pty.Unread(), 0);
    ASSERT_TRUE(Queue(std::string("##0102\0rest", 11)));  // a NUL: silence
    EXPECT_EQ(Request(0x0010), Outcome::kSilent);
    EXPECT_STREQ(dataBuf, "0102");
    EXPECT_EQ(dataBufIndex, 4);
    EXPECT_EQ(pty.Unread(), 0);
}

TEST_F(Steps, EveryWaitReportsALostPort) {
    pty.HangUp();
    int8_t echo = 0;
    EXPECT_EQ(Await(), Outcome::kPortLost);
    EXPECT_EQ(Collect(), Outcome::kPortLost);
    EXPECT_EQ(WaitForEcho(port, 10000, nullptr, &echo), Outcome::kPortLost);
    EXPECT_EQ(Request(0), Outcome::kPortLost);
}
