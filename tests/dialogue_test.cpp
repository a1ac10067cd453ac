// The prompt wait and the drain, against a target played on a pseudo-terminal.
#include "dialogue/dialogue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "tests/support/pty_pair.h"

namespace {

class Dialogue : public ::testing::Test {
  protected:
    void SetUp() override {
        int32_t error = 0;
        port = OpenCom(pty.path().c_str(), 9600, &error);
        ASSERT_NE(port, kInvalidComPort);
        std::memset(dataBuf, 'x', sizeof dataBuf);
    }
    void TearDown() override {
        if (port != kInvalidComPort)
            CloseCom(port);
    }
    // Waits for the monitor's prompt, each byte `perByteMs` milliseconds:
    // short where the line is to fall silent, long where bytes are still to
    // come (so a busy machine cannot turn them into silence).
    int Wait(std::size_t capacity = 80, int32_t perByteMs = 300) {
        return WaitForPrompt(port, dataBuf, sizeof dataBuf, "$$$", perByteMs, capacity, &inByte);
    }
    PtyPair pty;
    ComPort port = kInvalidComPort;
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
    EXPECT_EQ(Wait(80, 20000), 0);
    target.join();
    EXPECT_STREQ(dataBuf, "\r\nMON\r\n$$$");
    EXPECT_EQ(inByte, '$');
    EXPECT_EQ(WaitForComByte(port, 10000), ' ');
}

TEST_F(Dialogue, CapacityFilledWithoutPromptStillSucceeds) {
    pty.Send(std::string(120, '#'));
    ASSERT_TRUE(pty.AwaitUnread(120));
    EXPECT_EQ(Wait(40), 0);
    EXPECT_EQ(std::strlen(dataBuf), 40u);  // cleared beyond the capacity: terminated
}

TEST_F(Dialogue, SilenceAfterSomeBytesFails) {
    pty.Send("$$");
    ASSERT_TRUE(pty.AwaitUnread(2));
    EXPECT_EQ(Wait(), -1);
    EXPECT_STREQ(dataBuf, "$$");
}

TEST_F(Dialogue, SilenceFromTheStartFails) {
    EXPECT_EQ(Wait(), -1);
}

TEST_F(Dialogue, CapacityLargerThanTheBufferIsCut) {
    char small[8];
    pty.Send(std::string(20, '#'));
    ASSERT_TRUE(pty.AwaitUnread(20));
    EXPECT_EQ(WaitForPrompt(port, small, sizeof small, "$$$", 300, 80, &inByte), 0);
    EXPECT_EQ(std::strlen(small), 7u);
}

// The target floods the line for as long as the drain lasts: every write
// waits only for room in the line's buffers, so the program's end always
// holds unread bytes unless the writer is kept off the processor for the
// whole quiet window (a full second here, far beyond any scheduling delay).
TEST_F(Dialogue, DrainGivesUpOnALineThatNeverFallsQuiet) {
    // Non-blocking, so the target can be told to stop while the line is full.
    fcntl(pty.target(), F_SETFL, fcntl(pty.target(), F_GETFL) | O_NONBLOCK);
    std::atomic<bool> talking{true};
    std::thread target([this, &talking] {
        const std::string chatter(256, 'c');
        while (talking) {
            pollfd room{pty.target(), POLLOUT, 0};
            if (poll(&room, 1, 100) > 0) {
                pty.Send(chatter);
            }
        }
    });
    const int drained = DrainComInput(port, 1000);
    talking = false;
    target.join();
    EXPECT_EQ(drained, -1);
    // Once the target stops, what it left in the buffers is read and the
    // line falls quiet.
    EXPECT_EQ(DrainComInput(port, 25), 0);
    pty.Send("*");
    EXPECT_EQ(WaitForComByte(port, 10000), '*');
}

TEST_F(Dialogue, DrainEmptiesTheLineUntilItIsQuiet) {
    for (int i = 0; i < 5; ++i) {
        pty.Send("chatter");
    }
    ASSERT_TRUE(pty.AwaitUnread(35));
    EXPECT_EQ(DrainComInput(port, 25), 0);
    EXPECT_EQ(pty.Unread(), 0);
    pty.Send("*");
    EXPECT_EQ(WaitForComByte(port, 10000), '*');
}

TEST_F(Dialogue, DrainOfAQuietLineEndsAtOnce) {
    EXPECT_EQ(DrainComInput(port, 25), 0);
}
