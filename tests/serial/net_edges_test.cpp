// Network ports at their edges, against servers played by the test: an
// rfc2217:// port whose server is no RFC 2217 server, closes, or keeps a
// setting otherwise; telnet spotted on tcp://; a stop in the name lookup,
// the connect, the negotiation or the flush; the lookup's bound.
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "launch/await_state.h"
#include "serial/net_lookup.h"
#include "serial/net_port.h"
#include "serial/rfc2217.h"
#include "serial/serial_link.h"
#include "tests/serial/loopback_listener.h"
#include "tests/serial/pending_stop.h"

namespace {

constexpr int32_t kLongWaitMs = 60000;

const std::string kOpening = Of({255, 251, 0, 255, 253, 0, 255, 251, 44});
constexpr std::size_t kSettingsLength = 45;  // Rfc2217LineSettings's bytes

// The server's acknowledgement of COM-PORT-OPTION command `command`.
std::string Ack(int command, std::initializer_list<int> value) {
    return Of({255, 250, 44, 100 + command}) + Of(value) + Of({255, 240});
}

// Every setting acknowledged as asked, DTR off included.
std::string AcksAsAsked() {
    return Ack(1, {0, 0, 0x25, 0x80}) + Ack(2, {8}) + Ack(3, {1}) + Ack(4, {2}) + Ack(5, {1}) +
           Ack(5, {9});
}

// Opens `name` on a thread of its own while the test plays the server.
class Opening {
  public:
    explicit Opening(const std::string& name)
        : thread_([this, name] { port_ = OpenCom(name.c_str(), 9600, &error_); }) {}
    ~Opening() {
        Join();
    }
    ComPort Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return port_;
    }
    int32_t error() const {
        return error_;
    }

  private:
    ComPort port_ = kInvalidComPort;
    int32_t error_ = -1;
    std::thread thread_;
};

// The server takes up the option and answers the settings with `acks`.
ComPort OpenAcknowledged(Listener* server, const std::string& acks, int32_t* error) {
    Opening opening(server->Name("rfc2217"));
    EXPECT_TRUE(server->Accept());
    EXPECT_EQ(server->Receive(kOpening.size()), kOpening);
    server->Send(Of({255, 253, 44}));
    EXPECT_EQ(server->Receive(kSettingsLength).size(), kSettingsLength);
    server->Send(acks);
    const ComPort port = opening.Join();
    *error = opening.error();
    return port;
}

// A resolver the test holds: every lookup waits until it is let go, then
// finds 127.0.0.1.
std::mutex resolverLock;
std::condition_variable resolverFreed;
bool resolverHeld = false;
std::atomic<int> lookupsEnded{0};

int HeldResolver(const char*, const char* service, const addrinfo* hints, addrinfo** found) {
    std::unique_lock<std::mutex> lock(resolverLock);
    resolverFreed.wait(lock, [] { return !resolverHeld; });
    const int code = getaddrinfo("127.0.0.1", service, hints, found);
    ++lookupsEnded;
    return code;
}

int NoSuchName(const char*, const char*, const addrinfo*, addrinfo**) {
    return EAI_NONAME;
}

void HoldResolver(bool held) {
    {
        std::lock_guard<std::mutex> lock(resolverLock);
        resolverHeld = held;
    }
    resolverFreed.notify_all();
}

int StopAsked() {
    return 1;
}

std::atomic<bool> stopAsked{false};
int StopAskedYet() {
    return stopAsked ? 1 : 0;
}

}  // namespace

TEST(Rfc2217Answers, EachAcknowledgedValueIsKeptAndComparedWithWhatWasAsked) {
    struct Case {
        std::string ack;
        int setting;
        std::string words;
    };
    const Case cases[] = {
        {Ack(1, {0, 0, 4, 176}), kRfc2217Baud, "the baud rate at 1200 (9600 was asked for)"},
        {Ack(2, {7}), kRfc2217DataSize, "the data bits at 7 (8 was asked for)"},
        {Ack(3, {3}), kRfc2217Parity, "the parity at even (none was asked for)"},
        {Ack(4, {1}), kRfc2217StopSize, "the stop bits at 1 (2 was asked for)"},
        {Ack(5, {3}), kRfc2217Flow, "the flow control at hardware (RTS/CTS) (none was asked for)"},
    };
    for (const Case& c : cases) {
        Rfc2217 state;
        const std::string in = AcksAsAsked() + c.ack;
        unsigned char data[256];
        unsigned char reply[768];
        std::size_t replyLength = 0;
        TakeRfc2217(&state, reinterpret_cast<const unsigned char*>(in.data()), in.size(), data,
                    reply, &replyLength);
        char words[96];
        EXPECT_EQ(Rfc2217SettingKept(state, 9600, words, sizeof words), c.setting) << c.words;
        EXPECT_EQ(std::string(words), c.words);
    }
}

TEST(Rfc2217Answers, DtrAndSettingsNotAcknowledgedAreNotCompared) {
    Rfc2217 state;
    const std::string in = Ack(2, {8}) + Ack(5, {8}) + Ack(5, {1});  // DTR on, no flow control
    unsigned char data[64];
    unsigned char reply[192];
    std::size_t replyLength = 0;
    TakeRfc2217(&state, reinterpret_cast<const unsigned char*>(in.data()), in.size(), data, reply,
                &replyLength);
    char words[96] = "untouched";
    EXPECT_EQ(Rfc2217SettingKept(state, 9600, words, sizeof words), kRfc2217Checked);
    EXPECT_STREQ(words, "");
    EXPECT_EQ(state.settingsAnswered, 3);
}

TEST(Rfc2217Answers, TelnetIsSpottedAcrossReadsButADoubledFfIsData) {
    const unsigned char doubled[] = {'$', 255, 255, 251, '$'};
    bool afterIac = false;
    EXPECT_FALSE(SpotTelnetNegotiation(doubled, sizeof doubled, &afterIac));
    const unsigned char first[] = {'x', 255};
    const unsigned char second[] = {253, 1};
    EXPECT_FALSE(SpotTelnetNegotiation(first, sizeof first, &afterIac));
    EXPECT_TRUE(SpotTelnetNegotiation(second, sizeof second, &afterIac));
}

TEST(NetEdges, Rfc2217AtARawPortFailsTheOpenHavingSentOnlyTheOpening) {
    Listener server;
    Opening opening(server.Name("rfc2217"));
    ASSERT_TRUE(server.Accept());
    server.Send("$$$ raw bytes, no telnet");
    EXPECT_EQ(opening.Join(), kInvalidComPort);
    EXPECT_EQ(opening.error(), EPROTONOSUPPORT);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kNotRfc2217);
    const std::string why = NetOpenFailure();
    EXPECT_EQ(why, "the server at 127.0.0.1:" + std::to_string(server.port()) +
                       " did not answer as an RFC 2217 server");
    // Nothing after the opening: the connection is closed with no "@" sent.
    EXPECT_EQ(server.Receive(kOpening.size() + 64), kOpening);
}

TEST(NetEdges, AServerThatClosesDuringTheNegotiationFailsTheOpen) {
    Listener server;
    Opening opening(server.Name("rfc2217"));
    ASSERT_TRUE(server.Accept());
    server.Hang();
    EXPECT_EQ(opening.Join(), kInvalidComPort);
    EXPECT_EQ(opening.error(), ECONNRESET);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kClosed);
    EXPECT_NE(std::string(NetOpenFailure()).find("closed the connection"), std::string::npos);
}

TEST(NetEdges, ASettingTheServerKeptOtherwiseFailsTheOpenNamingIt) {
    Listener server;
    int32_t error = 0;
    const ComPort port =
        OpenAcknowledged(&server, AcksAsAsked().substr(0, 10) + Ack(2, {7}), &error);
    EXPECT_EQ(port, kInvalidComPort);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kSettingKept);
    EXPECT_EQ(std::string(NetOpenFailure()),
              "the server at 127.0.0.1:" + std::to_string(server.port()) +
                  " kept the data bits at 7 (8 was asked for)");
}

TEST(NetEdges, SettingsAcknowledgedAsAskedOpenThePort) {
    Listener server;
    int32_t error = -1;
    const ComPort port = OpenAcknowledged(&server, AcksAsAsked(), &error);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    EXPECT_EQ(error, 0);
    CloseCom(port);
}

TEST(NetEdges, TelnetOnARawPortIsNotedAndItsBytesStillRead) {
    Listener server;
    const ComPort port = OpenCom(server.Name("tcp").c_str(), 9600, nullptr);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    ASSERT_TRUE(server.Accept());
    server.Send(Of({'a', 255, 255}));
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 'a');
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 255);
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 255);
    EXPECT_FALSE(NetPortSpokeTelnet());
    server.Send(Of({255, 251, 1, 'b'}));
    EXPECT_EQ(WaitForComByte(port, kLongWaitMs), 255);
    EXPECT_TRUE(NetPortSpokeTelnet());
    CloseCom(port);
}

// The connect to a full listener hangs; a stop made pending before it is
// let in as the connect's wait sleeps and ends it as a stop, not a timeout.
TEST(NetEdges, AStopEndsAConnectThatHangs) {
    FullListener full;
    ASSERT_TRUE(full.full());
    PendingStop stop;
    int32_t error = 0;
    EXPECT_EQ(OpenCom(full.Name("tcp").c_str(), 9600, &error), kInvalidComPort);
    EXPECT_TRUE(stop.Caught());
    EXPECT_EQ(error, EINTR);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kStopped);
}

TEST(NetEdges, AStopEndsANameLookupThatHangs) {
    HoldResolver(true);
    SetNetResolver(HeldResolver);
    const int ended = lookupsEnded;
    {
        PendingStop stop;
        int32_t error = 0;
        EXPECT_EQ(OpenCom("tcp://board.test:1", 9600, &error), kInvalidComPort);
        EXPECT_TRUE(stop.Caught());
        EXPECT_EQ(error, EINTR);
        EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kStopped);
    }
    HoldResolver(false);
    EXPECT_TRUE(AwaitState([&] { return lookupsEnded == ended + 1; }, 10000));
    SetNetResolver(nullptr);
}

// A resolver that never answers in time: the lookup gives up within the
// connection's bound and says so.
TEST(NetEdges, ANameLookupWithoutAnAnswerGivesUpInItsBound) {
    HoldResolver(true);
    SetNetResolver(HeldResolver);
    const int ended = lookupsEnded;
    int32_t error = 0;
    EXPECT_EQ(OpenCom("tcp://board.test:1", 9600, &error), kInvalidComPort);
    EXPECT_EQ(error, EAI_AGAIN);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kNoResolve);
    EXPECT_NE(std::string(NetOpenFailure()).find("the resolver gave no answer in time"),
              std::string::npos)
        << NetOpenFailure();
    HoldResolver(false);
    EXPECT_TRUE(AwaitState([&] { return lookupsEnded == ended + 1; }, 10000));
    SetNetResolver(nullptr);
}

TEST(NetEdges, TheResolversAnswersGoThroughTheLookupAndItsCodesAreNamedAsItsOwn) {
    Listener server;
    HoldResolver(false);
    SetNetResolver(HeldResolver);
    const ComPort port =
        OpenCom(("tcp://board.test:" + std::to_string(server.port())).c_str(), 9600, nullptr);
    EXPECT_NE(port, kInvalidComPort) << NetOpenFailure();
    CloseCom(port);

    SetNetResolver(NoSuchName);
    int32_t error = 0;
    EXPECT_EQ(OpenCom("tcp://board.test:1", 9600, &error), kInvalidComPort);
    EXPECT_EQ(error, EAI_NONAME);
    const std::string why = NetOpenFailure();
    EXPECT_NE(why.find("the resolver's error " + std::to_string(EAI_NONAME) + ": " +
                       gai_strerror(EAI_NONAME)),
              std::string::npos)
        << why;
    SetNetResolver(nullptr);
}

// With the stop check saying a stop came, the negotiation ends at once, as
// a stop, not after its bound.
TEST(NetEdges, TheStopCheckEndsTheNegotiation) {
    Listener server;
    stopAsked = false;
    SetNetStopCheck(StopAskedYet);
    Opening opening(server.Name("rfc2217"));
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(kOpening.size()), kOpening);  // connected: negotiating
    stopAsked = true;
    EXPECT_EQ(opening.Join(), kInvalidComPort);
    EXPECT_EQ(opening.error(), EINTR);
    EXPECT_EQ(NetOpenFailureKind(), NetFailureKind::kStopped);
    SetNetStopCheck(nullptr);
}

// Once a stop came, the flush takes in nothing more: what has arrived stays
// for the run's end, however much keeps coming.
TEST(NetEdges, TheFlushReadsNothingMoreOnceAStopCame) {
    Listener server;
    const ComPort port = OpenCom(server.Name("tcp").c_str(), 9600, nullptr);
    ASSERT_NE(port, kInvalidComPort) << NetOpenFailure();
    ASSERT_TRUE(server.Accept());
    const int pile = 2048;
    server.Send(std::string(pile, 'x'));
    int queued = 0;
    ASSERT_TRUE(
        AwaitState([&] { return ioctl(port, FIONREAD, &queued) == 0 && queued == pile; }, 10000));
    SetNetStopCheck(StopAsked);
    FlushComInput(port);
    SetNetStopCheck(nullptr);
    ASSERT_EQ(ioctl(port, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, pile);
    FlushComInput(port);  // without the stop: all of it, under the flush's bound
    ASSERT_EQ(ioctl(port, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
    CloseCom(port);
}
