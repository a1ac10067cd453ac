// The POSIX serial link on a real pseudo-terminal pair.
#include "serial/serial_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "tests/serial/pending_stop.h"
#include "tests/support/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class SerialLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty.path().empty());
        int32_t error = -1;
        port = OpenCom(pty.path().c_str(), 9600, &error);
        ASSERT_NE(port, kInvalidComPort) << "error " << error;
        EXPECT_EQ(error, 0);
    }
    void TearDown() override {
        if (port != kInvalidComPort)
            CloseCom(port);
    }
    PtyPair pty;
    ComPort port = kInvalidComPort;
};

}  // namespace

TEST_F(SerialLink, LineIsSetTo9600EightDataTwoStopRaw) {
    termios settings{};
    ASSERT_EQ(tcgetattr(pty.held(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(settings.c_cflag & PARENB, 0u);
    EXPECT_NE(settings.c_cflag & CREAD, 0u);
    EXPECT_NE(settings.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXON), 0u);
}

// The waits below are long (a minute) where a byte or a hang-up is to end
// them: ending far short of it shows what ended them, whatever the load.
constexpr int32_t kLongWaitMs = 60000;

TEST_F(SerialLink, AByteAlreadyWaitingIsReturnedAtOnce) {
    pty.Send("$");
    ASSERT_TRUE(pty.AwaitUnread(1));
    auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), '$');
    EXPECT_LT(ElapsedMs(start), kLongWaitMs / 2);
}

TEST_F(SerialLink, ByteArrivingDuringTheWaitEndsIt) {
    const pid_t waiter = CurrentThreadId();
    bool sent = false;
    std::thread late([&] {
        // Sent only once the wait sleeps for it.
        if (AwaitState([&] { return ThreadBlockedInPoll(waiter); }, 10000)) {
            pty.Send("*");
            sent = true;
        }
    });
    EXPECT_EQ(WaitForComByte(port, 20000), '*');
    late.join();
    EXPECT_TRUE(sent);
}

TEST_F(SerialLink, SilenceReturnsZeroAfterTheTimeout) {
    auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, 300), 0);
    EXPECT_GE(ElapsedMs(start), 300);
    EXPECT_EQ(WaitForComByte(port, 0), 0);
    EXPECT_EQ(WaitForComByte(port, -5), 0);
}

TEST_F(SerialLink, NulFromTheTargetReadsAsSilence) {
    pty.Send(std::string("\0A", 2));
    ASSERT_TRUE(pty.AwaitUnread(2));
    EXPECT_EQ(WaitForComByte(port, 1000), 0);
    EXPECT_EQ(WaitForComByte(port, 1000), 'A');
}

TEST_F(SerialLink, WrittenBytesReachTheTarget) {
    WriteComBytes(port, ":10", 3);
    char got[4] = {};
    pollfd waiting{pty.target(), POLLIN, 0};
    ASSERT_GT(poll(&waiting, 1, 2000), 0);
    ASSERT_EQ(read(pty.target(), got, 3), 3);
    EXPECT_STREQ(got, ":10");
}

TEST_F(SerialLink, FlushDiscardsWhatWasNotRead) {
    pty.Send("stale");
    ASSERT_TRUE(pty.AwaitUnread(5));
    FlushComInput(port);
    EXPECT_EQ(pty.Unread(), 0);
    EXPECT_EQ(WaitForComByte(port, 100), 0);
}

TEST_F(SerialLink, ASecondOpenOfAHeldPortFails) {
    int32_t error = 0;
    ComPort second = OpenCom(pty.path().c_str(), 9600, &error);
    EXPECT_EQ(second, kInvalidComPort);
    EXPECT_EQ(error, EBUSY);
}

TEST_F(SerialLink, AHungUpLineIsReportedGoneAndEndsEveryWait) {
    EXPECT_FALSE(ComPortGone(port));
    pty.HangUp();
    auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    EXPECT_TRUE(ComPortGone(port));
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    // Ended by the hang-up, not by the two timeouts.
    EXPECT_LT(ElapsedMs(start), kLongWaitMs / 2);
    CloseCom(port);
    EXPECT_FALSE(ComPortGone(port));
    port = kInvalidComPort;
}

TEST_F(SerialLink, ACaughtSignalEndsTheWaitAsSilence) {
    struct sigaction caught {};
    struct sigaction before {};
    caught.sa_handler = [](int) {};
    sigaction(SIGUSR1, &caught, &before);
    const pthread_t waiter = pthread_self();
    const pid_t waiterId = CurrentThreadId();
    bool signalled = false;
    std::thread stopper([&] {
        // Only a signal that meets the wait asleep is the case here: one
        // caught before it would be the handler's business alone.
        if (AwaitState([&] { return ThreadBlockedInPoll(waiterId); }, 10000)) {
            pthread_kill(waiter, SIGUSR1);
            signalled = true;
        }
    });
    auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    const long elapsed = ElapsedMs(start);
    stopper.join();
    sigaction(SIGUSR1, &before, nullptr);
    EXPECT_TRUE(signalled);
    EXPECT_LT(elapsed, kLongWaitMs / 2);  // not the whole wait
    EXPECT_FALSE(ComPortGone(port));
}

// A stop signal that comes after the wait's read and before its sleep is
// held back until the sleep, which it then ends at once. Held back here by
// the test itself, it is pending before the wait begins.
TEST_F(SerialLink, AStopSignalPendingAsTheWaitSleepsEndsItAtOnce) {
    PendingStop stop;
    auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    const long elapsed = ElapsedMs(start);
    EXPECT_TRUE(stop.Caught());
    EXPECT_FALSE(stop.StillPending());
    EXPECT_LT(elapsed, kLongWaitMs / 2);  // not the whole wait
}

TEST(SerialOpen, ARateTheLineIsNotSetToIsRefusedLeavingThePortFree) {
    PtyPair pty;
    ASSERT_FALSE(pty.path().empty());
    int32_t error = 0;
    EXPECT_EQ(OpenCom(pty.path().c_str(), 9601, &error), kInvalidComPort);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(OpenCom(pty.path().c_str(), 0, &error), kInvalidComPort);
    EXPECT_EQ(error, EINVAL);

    const ComPort port = OpenCom(pty.path().c_str(), 19200, &error);
    ASSERT_NE(port, kInvalidComPort) << "error " << error;
    termios settings{};
    ASSERT_EQ(tcgetattr(pty.held(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B19200));
    CloseCom(port);
}

TEST(SerialOpen, MissingPathFailsWithNoSuchFile) {
    int32_t error = 0;
    EXPECT_EQ(OpenCom("/dev/no-such-port", 9600, &error), kInvalidComPort);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(errno, ENOENT);
}

TEST(SerialOpen, SomethingThatIsNotATerminalIsRefused) {
    int32_t error = 0;
    EXPECT_EQ(OpenCom("/dev/null", 9600, &error), kInvalidComPort);
    EXPECT_EQ(error, ENOTTY);
}
