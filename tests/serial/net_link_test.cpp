// The serial link on network ports, against a listener on the loopback
// interface played by the test: raw TCP and the telnet of rfc2217://.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "launch/await_state.h"
#include "serial/net_port.h"
#include "serial/serial_link.h"
#include "tests/serial/loopback_listener.h"
#include "tests/serial/pending_stop.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kLongWaitMs = 60000;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

}  // namespace

TEST(NetLink, RawTcpCarriesBytesBothWaysUntilTheConnectionCloses) {
    Listener server;
    int32_t error = -1;
    const ComPort port = OpenCom(server.Name("tcp").c_str(), 9600, &error);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(server.Accept());

    WriteComBytes(port, "@", 1);
    EXPECT_EQ(server.Receive(1), "@");
    server.Send(Of({'$', 0xFF, '*'}));
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), '$');
    FlushComInput(port);  // what had arrived is gone
    server.Send("?");
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), '?');

    server.Hang();
    const auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    EXPECT_LT(ElapsedMs(start), kLongWaitMs / 2);
    EXPECT_TRUE(ComPortGone(port));
    CloseCom(port);
}

// A stop signal that comes between the network wait's sleeps (held back
// here by the test itself, so pending before the wait begins) ends the
// next sleep at once.
TEST(NetLink, AStopSignalPendingAsTheWaitSleepsEndsItAtOnce) {
    Listener server;
    int32_t error = -1;
    const ComPort port = OpenCom(server.Name("tcp").c_str(), 9600, &error);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    ASSERT_TRUE(server.Accept());
    PendingStop stop;
    const auto start = Clock::now();
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0);
    const long elapsed = ElapsedMs(start);
    EXPECT_TRUE(stop.Caught());
    EXPECT_LT(elapsed, kLongWaitMs / 2);  // not the whole wait
    EXPECT_FALSE(ComPortGone(port));
    CloseCom(port);
}

// To the flush, a server that keeps sending is one whose bytes never run
// out: here 64 KiB that have all arrived. It discards what a terminal would
// hold and returns, leaving the rest to the reads after it.
TEST(NetLink, FlushDiscardsNoMoreThanATerminalHolds) {
    Listener server;
    int32_t error = -1;
    const ComPort port = OpenCom(server.Name("tcp").c_str(), 9600, &error);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    ASSERT_TRUE(server.Accept());
    const int pile = 64 * 1024;
    server.Send(std::string(pile, 'x'));
    int queued = 0;
    ASSERT_TRUE(
        AwaitState([&] { return ioctl(port, FIONREAD, &queued) == 0 && queued == pile; }, 10000))
        << queued;  // the port is the socket's descriptor here

    FlushComInput(port);
    ASSERT_EQ(ioctl(port, FIONREAD, &queued), 0);
    EXPECT_GT(queued, 0);
    EXPECT_GE(queued, pile - 2 * 4096);  // about 4 KiB and a read's worth
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 'x');
    CloseCom(port);
}

TEST(NetLink, NothingListeningIsRefusedNamingTheAddress) {
    Listener closed;
    closed.StopListening();
    int32_t error = 0;
    EXPECT_EQ(OpenCom(closed.Name("rfc2217").c_str(), 9600, &error), kInvalidComPort);
    EXPECT_EQ(error, ECONNREFUSED);
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kNoConnection);
    const std::string why = NetOpenFailure();
    EXPECT_NE(why.find("127.0.0.1 port " + std::to_string(closed.port())), std::string::npos)
        << why;

    EXPECT_EQ(OpenCom("tcp://127.0.0.1", 9600, &error), kInvalidComPort);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kBadName);
}

// A server that takes up the option but never acknowledges the settings:
// the open goes on after its bounded wait.
TEST(NetLink, Rfc2217SetsTheLineAndEscapesTheDataBothWays) {
    Listener server;
    ComPort port = kInvalidComPort;
    std::thread opener([&] { port = OpenCom(server.Name("rfc2217").c_str(), 9600, nullptr); });
    ASSERT_TRUE(server.Accept());
    server.Send(Of({255, 253, 44, 255, 251, 1}));  // DO COM-PORT-OPTION, WILL ECHO
    const std::string opening = Of({255, 251, 0, 255, 253, 0, 255, 251, 44});
    const std::string refusal = Of({255, 254, 1});
    const std::string settings = server.Receive(opening.size() + refusal.size() + 45);
    opener.join();
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    EXPECT_EQ(settings.substr(0, opening.size() + refusal.size()), opening + refusal);
    EXPECT_EQ(settings.substr(settings.size() - 14),
              Of({255, 250, 44, 5, 1, 255, 240, 255, 250, 44, 5, 9, 255, 240}));

    server.Send(Of({255, 255, 255, 250, 44, 107, 0, 255, 240, '$'}));
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 0xFF);
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), '$');
    WriteComBytes(port, Of({0xFF, '@'}).data(), 2);
    EXPECT_EQ(server.Receive(3), Of({255, 255, '@'}));
    FlushComInput(port);
    EXPECT_EQ(server.Receive(7), Of({255, 250, 44, 12, 1, 255, 240}));
    CloseCom(port);
}
