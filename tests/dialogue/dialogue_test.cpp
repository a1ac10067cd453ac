// The prompt wait and the drain, against a target played on a pseudo-terminal.
#include "dialogue/dialogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "dialogue/handshake.h"
#include "tests/dialogue/port_on_pty.h"

namespace {

class Dialogue : public PortOnPty {
  protected:
    void SetUp() override {
        PortOnPty::SetUp();
        std::memset(dataBuf, 'x', sizeof dataBuf);
    }
    // Waits for the monitor's prompt, each byte `perByteMs` milliseconds:
    // short where the line is to fall silent, long where bytes are still to
    // come (so a busy machine cannot turn them into silence).
    Outcome Wait(std::size_t capacity = 80, int32_t perByteMs = 300) {
        return WaitForPrompt(port, dataBuf, sizeof dataBuf, "$$$", perByteMs, capacity, &inByte);
    }
    char dataBuf[100];
    char inByte = 0;
};

}  // namespace

// Each piece goes out only once the wait has taken everything before it and
// sleeps for more, so the prompt is met across separate reads; the bytes after
// it are left on the line for whoever reads next.
TEST_F(Dialogue, PromptSplitOverSeveralWritesIsFound) {
    const pid_t waiter = CurrentThreadId();
    std::thread target([this, waiter] {
        for (const char* piece : {"\r\nMON\r\n", "$", "$", "$ trailing"}) {
            if (!AwaitState([&] { return pty.Unread() == 0 && ThreadBlockedInPoll(waiter); },
                            10000)) {
                return;
            }
            pty.Send(piece);
        }
    });
    EXPECT_EQ(Wait(80, 20000), Outcome::kDone);
    target.join();
    EXPECT_STREQ(dataBuf, "\r\nMON\r\n$$$");
    EXPECT_EQ(inByte, '$');
    EXPECT_EQ(WaitForComByte(port, 10000), ' ');
}

TEST_F(Dialogue, CapacityFilledWithoutPromptIsNoPrompt) {
    pty.Send(std::string(120, '#'));
    ASSERT_TRUE(pty.AwaitUnread(120));
    EXPECT_EQ(Wait(40, 50), Outcome::kNoPrompt);
    EXPECT_EQ(std::strlen(dataBuf), 40u);  // cleared beyond the capacity: terminated
}

TEST_F(Dialogue, SilenceAfterSomeBytesFails) {
    pty.Send("$$");
    ASSERT_TRUE(pty.AwaitUnread(2));
    EXPECT_EQ(Wait(), Outcome::kSilent);
    EXPECT_STREQ(dataBuf, "$$");
}

TEST_F(Dialogue, SilenceFromTheStartFails) {
    EXPECT_EQ(Wait(), Outcome::kSilent);
}

TEST_F(Dialogue, CapacityLargerThanTheBufferIsCut) {
    char small[8];
    pty.Send(std::string(20, '#'));
    ASSERT_TRUE(pty.AwaitUnread(20));
    EXPECT_EQ(WaitForPrompt(port, small, sizeof small, "$$$", 50, 80, &inByte), Outcome::kNoPrompt);
    EXPECT_EQ(std::strlen(small), 7u);
}

// A flood is caught by what was received: with more than the drain's bound
// already waiting, the drain gives up after exactly that many bytes, however
// late it or the sender got the processor, and leaves the rest on the line.
TEST_F(Dialogue, DrainGivesUpOnALineThatNeverFallsQuiet) {
    const int extra = 500;
    const int flood = static_cast<int>(kDrainLimitBytes) + extra;
    // The whole flood is in the line's buffers once the write returns; the
    // program's end shows at most its own buffer's worth of it at a time.
    pty.Send(std::string(static_cast<std::size_t>(flood), 'c'));
    ASSERT_TRUE(pty.AwaitUnread(extra));
    EXPECT_EQ(DrainComInput(port, 1000), Outcome::kChatter);
    ASSERT_TRUE(pty.AwaitUnread(extra));
    EXPECT_EQ(pty.Unread(), extra);
    // Once the target stops, what it left is read and the line falls quiet.
    EXPECT_EQ(DrainComInput(port, 25), Outcome::kDone);
    pty.Send("*");
    EXPECT_EQ(WaitForComByte(port, 10000), '*');
}

TEST_F(Dialogue, DrainEmptiesTheLineUntilItIsQuiet) {
    for (int i = 0; i < 5; ++i) {
        pty.Send("chatter");
    }
    ASSERT_TRUE(pty.AwaitUnread(35));
    EXPECT_EQ(DrainComInput(port, 25), Outcome::kDone);
    EXPECT_EQ(pty.Unread(), 0);
    pty.Send("*");
    EXPECT_EQ(WaitForComByte(port, 10000), '*');
}

TEST_F(Dialogue, DrainOfAQuietLineEndsAtOnce) {
    EXPECT_EQ(DrainComInput(port, 25), Outcome::kDone);
}

// A row that settles by a flush and one that drains: the wake-up goes out,
// the prompt is collected, the ready line printed and the rest of the answer
// settled off the line.
TEST_F(Dialogue, HandshakeWakesCollectsPrintsAndSettles) {
    constexpr HandshakeRow kByFlush = {10, 80, 5000, "\n Target Ready\n", 10, true};
    constexpr HandshakeRow kByDrain = {10, 40, 3000, "\n Target Ready \n", 25, false};
    for (const HandshakeRow& row : {kByFlush, kByDrain}) {
        pty.Send("\r\nMON $$$ tail");
        ASSERT_TRUE(pty.AwaitUnread(14));
        testing::internal::CaptureStdout();
        const Outcome result = Handshake(port, row, dataBuf, sizeof dataBuf, &inByte);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), row.readyLine);
        EXPECT_EQ(result, Outcome::kDone);
        EXPECT_STREQ(dataBuf, "\r\nMON $$$");
        EXPECT_EQ(pty.Unread(), 0);
        char sent[4] = {};
        EXPECT_EQ(read(pty.target(), sent, sizeof sent), 1);
        EXPECT_EQ(sent[0], '@');
    }
}

// No prompt: nothing is printed. A stop during the pause ends the handshake
// before anything is collected; a flood after the prompt is reported.
TEST_F(Dialogue, HandshakeSilentStoppedOrNeverQuiet) {
    const HandshakeRow quick = {0, 80, 300, "\n Ready\n", 25, false};
    testing::internal::CaptureStdout();
    EXPECT_EQ(Handshake(port, quick, dataBuf, sizeof dataBuf, &inByte), Outcome::kSilent);
    pty.Send("$$$");
    ASSERT_TRUE(pty.AwaitUnread(3));
    EXPECT_EQ(Handshake(port, quick, dataBuf, sizeof dataBuf, &inByte, [] { return 2; }),
              Outcome::kStopped);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pty.Unread(), 3);

    pty.Send(std::string(static_cast<std::size_t>(kDrainLimitBytes) + 10, 'c'));
    ASSERT_TRUE(pty.AwaitUnread(1000));
    testing::internal::CaptureStdout();
    EXPECT_EQ(Handshake(port, quick, dataBuf, sizeof dataBuf, &inByte), Outcome::kChatter);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), quick.readyLine);
}

// A wait that ends because the line hung up says so, not that the target
// fell silent; a handshake on such a line ends the same way.
TEST_F(Dialogue, PromptWaitOnALineThatHungUpReportsThePortLost) {
    pty.HangUp();
    EXPECT_EQ(Wait(80, 10000), Outcome::kPortLost);
    EXPECT_EQ(SilenceOn(port), Outcome::kPortLost);
    const HandshakeRow quick = {0, 80, 10000, "\n Ready\n", 25, false};
    testing::internal::CaptureStdout();
    EXPECT_EQ(Handshake(port, quick, dataBuf, sizeof dataBuf, &inByte), Outcome::kPortLost);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
