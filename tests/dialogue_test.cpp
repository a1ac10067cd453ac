// The prompt wait and the drain, against a target played on a pseudo-terminal.
#include "dialogue/dialogue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
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
    int Wait(std::size_t capacity = 80) {
        return WaitForPrompt(port, dataBuf, sizeof dataBuf, "$$$", 300, capacity, &inByte);
    }
    PtyPair pty;
    ComPort port = kInvalidComPort;
    char dataBuf[100];
    char inByte = 0;
};

}  // namespace

TEST_F(Dialogue, PromptSplitOverSeveralWritesIsFound) {
    std::thread target([this] {
        for (const char* piece : {"\r\nMON\r\n", "$", "$", "$", " trailing"}) {
            pty.Send(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    EXPECT_EQ(Wait(), 0);
    target.join();
    EXPECT_STREQ(dataBuf, "\r\nMON\r\n$$$");
    EXPECT_EQ(inByte, '$');
}

TEST_F(Dialogue, CapacityFilledWithoutPromptStillSucceeds) {
    pty.Send(std::string(120, '#'));
    EXPECT_EQ(Wait(40), 0);
    EXPECT_EQ(std::strlen(dataBuf), 40u);  // cleared beyond the capacity: terminated
}

TEST_F(Dialogue, SilenceAfterSomeBytesFails) {
    pty.Send("$$");
    EXPECT_EQ(Wait(), -1);
    EXPECT_STREQ(dataBuf, "$$");
}

TEST_F(Dialogue, SilenceFromTheStartFails) {
    EXPECT_EQ(Wait(), -1);
}

TEST_F(Dialogue, CapacityLargerThanTheBufferIsCut) {
    char small[8];
    pty.Send(std::string(20, '#'));
    EXPECT_EQ(WaitForPrompt(port, small, sizeof small, "$$$", 300, 80, &inByte), 0);
    EXPECT_EQ(std::strlen(small), 7u);
}

TEST_F(Dialogue, DrainGivesUpOnALineThatNeverFallsQuiet) {
    std::atomic<bool> talking{true};
    std::thread target([this, &talking] {
        while (talking) {
            pty.Send("chatter");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int drained = DrainComInput(port, 25);
    talking = false;
    target.join();
    EXPECT_EQ(drained, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(DrainComInput(port, 25), 0);
}

TEST_F(Dialogue, DrainEmptiesTheLineUntilItIsQuiet) {
    std::thread target([this] {
        for (int i = 0; i < 5; ++i) {
            pty.Send("chatter");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(DrainComInput(port, 25), 0);
    target.join();
    pty.Send("*");
    EXPECT_EQ(WaitForComByte(port, 1000), '*');
}
