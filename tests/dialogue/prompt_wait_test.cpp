// The prompt wait past its capacity: only the prompt ends it well; other text
// ends it at a silence or at one of its bounds, with what came kept.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "dialogue/dialogue.h"
#include "tests/dialogue/port_on_pty.h"

namespace {

class PromptWait : public PortOnPty {
  protected:
    void SetUp() override {
        PortOnPty::SetUp();
        std::memset(dataBuf, 'x', sizeof dataBuf);
    }
    Outcome Wait(std::size_t capacity, int32_t perByteMs) {
        return WaitForPrompt(port, dataBuf, sizeof dataBuf, "$$$", perByteMs, capacity, &inByte);
    }
    char dataBuf[100];
    char inByte = 0;
};

}  // namespace

// Already on the line, so the short timeout only meets the silence after it.
TEST_F(PromptWait, CapacityFilledWithoutPromptThenSilenceIsNoPrompt) {
    pty.Send("boot ok *\r\n" + std::string(109, '#'));
    ASSERT_TRUE(pty.AwaitUnread(120));
    EXPECT_EQ(Wait(40, 50), Outcome::kNoPrompt);
    EXPECT_EQ(std::strlen(dataBuf), 40u);  // nothing stored past the capacity
    EXPECT_EQ(std::string(dataBuf, 11), "boot ok *\r\n");
    const PromptMiss& miss = LastPromptMiss();
    EXPECT_STREQ(miss.pattern, "$$$");
    EXPECT_EQ(miss.received, 120);
    EXPECT_FALSE(miss.keptSending);
    EXPECT_EQ(std::string(miss.start), std::string(dataBuf));
}

// A banner longer than the capacity, and a prompt that straddles it.
TEST_F(PromptWait, PromptPastTheCapacityIsFound) {
    for (std::size_t before : {std::size_t{38}, std::size_t{39}, std::size_t{200}}) {
        std::memset(dataBuf, 'x', sizeof dataBuf);
        pty.Send(std::string(before, '#') + "$$$ tail");
        ASSERT_TRUE(pty.AwaitUnread(static_cast<int>(before) + 8));
        EXPECT_EQ(Wait(40, 10000), Outcome::kDone) << before;
        EXPECT_EQ(std::strlen(dataBuf), 40u);
        EXPECT_EQ(inByte, '$');
        EXPECT_EQ(WaitForComByte(port, 10000), ' ');
        while (WaitForComByte(port, 20) != 0) {
        }
    }
}

TEST_F(PromptWait, SilenceBeforeTheCapacityIsStillSilence) {
    pty.Send("boot ok *\r\n");
    ASSERT_TRUE(pty.AwaitUnread(11));
    EXPECT_EQ(Wait(80, 50), Outcome::kSilent);
}

// A flood is read up to the bound and no further: the rest stays on the line.
TEST_F(PromptWait, AFloodEndsAtTheReadLimit) {
    const int extra = 300;
    pty.Send(std::string(static_cast<std::size_t>(kPromptReadLimit) + extra, 'c'));
    ASSERT_TRUE(pty.AwaitUnread(extra));
    EXPECT_EQ(Wait(80, 10000), Outcome::kNoPrompt);
    const PromptMiss& miss = LastPromptMiss();
    EXPECT_EQ(miss.received, kPromptReadLimit);
    EXPECT_TRUE(miss.keptSending);
    ASSERT_TRUE(pty.AwaitUnread(extra));
    EXPECT_EQ(pty.Unread(), extra);
}

// A trickle, each byte well inside the per-byte timeout, ends at the bound in
// time long before the read limit. Each byte goes out only once the wait is
// asleep for it, 10 ms after the one before: 2 s per byte leaves a busy
// machine far more room than it needs.
TEST_F(PromptWait, ATrickleEndsAtTheTimeBound) {
    constexpr int32_t kPerByteMs = 2000;
    const pid_t waiter = CurrentThreadId();
    bool done = false;
    std::thread target([&] {
        auto next = std::chrono::steady_clock::now();
        while (!__atomic_load_n(&done, __ATOMIC_ACQUIRE)) {
            next += std::chrono::milliseconds(10);
            if (!AwaitState(
                    [&] {
                        return __atomic_load_n(&done, __ATOMIC_ACQUIRE) ||
                               (std::chrono::steady_clock::now() >= next && pty.Unread() == 0 &&
                                ThreadBlockedInPoll(waiter));
                    },
                    30000) ||
                __atomic_load_n(&done, __ATOMIC_ACQUIRE)) {
                return;
            }
            pty.Send("t");
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const Outcome result = Wait(80, kPerByteMs);
    const auto spent = std::chrono::steady_clock::now() - start;
    __atomic_store_n(&done, true, __ATOMIC_RELEASE);
    target.join();
    EXPECT_EQ(result, Outcome::kNoPrompt);
    const PromptMiss& miss = LastPromptMiss();
    EXPECT_TRUE(miss.keptSending);
    EXPECT_LT(miss.received, kPromptReadLimit);
    // The bound is a least time: the wait never ends before it.
    EXPECT_GE(spent, std::chrono::milliseconds(kPromptWaitTimeouts * kPerByteMs));
}

// The BASIC's prompts are awaited the same way.
TEST_F(PromptWait, OtherPromptsPastTheCapacity) {
    pty.Send(std::string(90, '-') + "Memory top?");
    ASSERT_TRUE(pty.AwaitUnread(101));
    EXPECT_EQ(WaitForPrompt(port, dataBuf, sizeof dataBuf, "top?", 10000, 80, &inByte),
              Outcome::kDone);
    pty.Send(std::string(90, '-'));
    ASSERT_TRUE(pty.AwaitUnread(90));
    EXPECT_EQ(WaitForPrompt(port, dataBuf, sizeof dataBuf, "Ok", 50, 80, &inByte),
              Outcome::kNoPrompt);
    EXPECT_STREQ(LastPromptMiss().pattern, "Ok");
}
