// The serial link on a network port, the same on both hosts: the socket
// calls are net_socket's, the telnet of rfc2217:// is rfc2217's.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "serial/answer_timing.h"
#include "serial/net_lookup.h"
#include "serial/net_port.h"
#include "serial/net_socket.h"
#include "serial/port_ops.h"
#include "serial/rfc2217.h"

namespace {

constexpr int32_t kConnectMs = 5000;
// How long the server is given to take up the COM-PORT-OPTION (a server
// that says nothing in that time is no RFC 2217 server), and then to
// acknowledge the line settings: a device without modem lines may never
// acknowledge DTR off.
constexpr int64_t kOptionAnswerUs = 2000000;
constexpr int64_t kNegotiationUs = 1000000;
// The longest a negotiation's wait sleeps before it looks at the stop check
// again: on Windows a stop does not wake it.
constexpr int64_t kStopLookUs = 50000;

// A wait that ends sooner than this found its bytes already there.
constexpr int64_t kAlreadyThereUs = 50;

// The most a flush discards, about what a terminal's input buffer holds
// (the most tcflush can drop): a server that keeps sending cannot hold the
// flush for as long as it sends.
constexpr std::size_t kFlushLimit = 4096;

NetSocket netSocket = kNoSocket;
bool telnet = false;
bool gone = false;
int (*stopCheck)() = nullptr;
// On tcp://: whether a telnet negotiation came, and a trailing IAC.
bool spokeTelnet = false;
bool afterIac = false;
char address[kNetPortNameSize] = "";
Rfc2217 session;
// Data bytes taken in and not yet read: taken in only when all are read, a
// chunk of the socket's bytes at a time (data is never more than its bytes).
constexpr std::size_t kChunk = 512;
unsigned char received[kChunk];
std::size_t receivedNext = 0;
std::size_t receivedEnd = 0;
char failure[256] = "";
NetFailureKind failureKind = NetFailureKind::kNone;

void Send(const unsigned char* bytes, std::size_t count) {
    if (!gone && SendNetSocket(netSocket, bytes, count) != 0) {
        gone = true;
    }
}

// Takes in what the socket holds, when every byte taken in before was read:
// its data into `received`, its telnet commands answered. Returns the data
// bytes taken in; 0 also once the connection is gone (`gone` then set).
std::size_t TakeIn() {
    if (receivedNext < receivedEnd || gone) {
        return 0;
    }
    receivedNext = 0;
    receivedEnd = 0;
    unsigned char raw[kChunk];
    const long got = ReadNetSocket(netSocket, raw, sizeof raw);
    if (got < 0) {
        gone = true;
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(got);
    if (!telnet) {
        spokeTelnet = SpotTelnetNegotiation(raw, count, &afterIac) || spokeTelnet;
        std::memcpy(received, raw, count);
        receivedEnd = count;
        return count;
    }
    unsigned char reply[3 * kChunk];
    std::size_t replyLength = 0;
    receivedEnd = TakeRfc2217(&session, raw, count, received, reply, &replyLength);
    if (replyLength > 0) {
        Send(reply, replyLength);
    }
    return receivedEnd;
}

// Answers the server until `done` holds, for up to `boundUs`; data that
// comes meanwhile is stale, as a device's input at its open. Returns false
// when a stop cut it short.
template <typename Done>
bool Negotiate(Done done, int64_t boundUs) {
    const int64_t giveUp = SteadyNowUs() + boundUs;
    bool running = true;
    HoldNetWait();
    while (running && !done() && !gone) {
        TakeIn();
        receivedNext = receivedEnd;
        const int64_t left = giveUp - SteadyNowUs();
        if (NetStopRequested()) {
            running = false;
        } else if (done() || left <= 0) {
            break;
        } else if (AwaitNetSocket(netSocket, std::min(left, kStopLookUs)) < 0) {
            running = !NetStopUnchecked();
        }
    }
    ReleaseNetWait();
    return running;
}

// Sets the line of the rfc2217:// port to `baud` 8N2, no flow control, DTR
// off. Returns kNone, or why the port cannot serve (the failure's words in
// `failure`).
NetFailureKind SetLine(int32_t baud) {
    unsigned char out[96];
    Send(out, Rfc2217Opening(out));
    bool running =
        Negotiate([] { return session.comPortAgreed || session.comPortRefused; }, kOptionAnswerUs);
    if (running && session.comPortAgreed && !gone) {
        Send(out, Rfc2217LineSettings(static_cast<uint32_t>(baud), out));
        running =
            Negotiate([] { return session.settingsAnswered >= kRfc2217Settings; }, kNegotiationUs);
    }
    if (!running) {
        return NetFailureKind::kStopped;
    }
    if (gone) {
        std::snprintf(failure, sizeof failure,
                      "the server at %s closed the connection as the line was being set", address);
        return NetFailureKind::kClosed;
    }
    if (!session.comPortAgreed && !session.comPortRefused) {
        std::snprintf(failure, sizeof failure,
                      "the server at %s did not answer as an RFC 2217 server", address);
        return NetFailureKind::kNotRfc2217;
    }
    char kept[96];
    if (Rfc2217SettingKept(session, static_cast<uint32_t>(baud), kept, sizeof kept) !=
        kRfc2217Checked) {
        std::snprintf(failure, sizeof failure, "the server at %s kept %s", address, kept);
        return NetFailureKind::kSettingKept;
    }
    // A server that refused the option: its line is as it was set up.
    return NetFailureKind::kNone;
}

ComPort FailOpen(int32_t error, int32_t* comError) {
    if (comError != nullptr) {
        *comError = error;
    }
    errno = error;
    return kInvalidComPort;
}

// The error code OpenNetPort gives for a port SetLine found unfit.
int32_t LineFailureError(NetFailureKind kind) {
    switch (kind) {
        case NetFailureKind::kStopped:
            return kNetStoppedError;
        case NetFailureKind::kClosed:
            return kNetClosedError;
        case NetFailureKind::kNotRfc2217:
            return kNetNotRfc2217Error;
        default:
            return kNetBadNameError;  // a setting kept otherwise: as a rate a device refuses
    }
}

// Connects to the network port `name` (within about 5 s, the name's lookup
// included) and, for rfc2217://, sets its line to `baud` 8N2, no flow
// control, DTR off (waiting up to about 2 s for the server to answer the
// option and 1 s for it to acknowledge the settings). Returns the port, or
// kInvalidComPort with the system's error code in *comError and in errno,
// and NetOpenFailure() saying why; nothing is left open then. A stop, a
// server that does not answer the option, one that closes the connection,
// and a setting acknowledged with another value fail the open.
ComPort OpenNetPort(const char* name, int32_t baud, int32_t* comError) {
    failureKind = NetFailureKind::kNone;
    const char* after = std::strstr(name, "://");
    std::snprintf(address, sizeof address, "%s", after != nullptr ? after + 3 : name);
    char host[kNetPortNameSize];
    char service[8];
    if (SplitNetPortName(name, host, sizeof host, service, sizeof service) != 0) {
        std::snprintf(failure, sizeof failure, "%s",
                      "the name is not tcp://HOST:PORT or rfc2217://HOST:PORT (an IPv6 "
                      "address in brackets, PORT a number from 1 to 65535)");
        failureKind = NetFailureKind::kBadName;
        return FailOpen(kNetBadNameError, comError);
    }
    NetFailure why;
    const NetSocket s = ConnectNetSocket(host, service, kConnectMs, &why);
    if (s == kNoSocket) {
        char reason[96];
        DescribeNetFailure(why, reason, sizeof reason);
        failureKind = why.stopped     ? NetFailureKind::kStopped
                      : why.resolving ? NetFailureKind::kNoResolve
                                      : NetFailureKind::kNoConnection;
        if (why.stopped) {
            std::snprintf(failure, sizeof failure, "a stop came as it connected to %s", address);
        } else if (why.resolving) {
            std::snprintf(failure, sizeof failure, "the name '%s' does not resolve (%s)", host,
                          reason);
        } else {
            std::snprintf(failure, sizeof failure, "%s port %s did not take the connection (%s)",
                          host, service, reason);
        }
        return FailOpen(why.error, comError);
    }
    netSocket = s;
    telnet = NetPortKind(name) == NetKind::kRfc2217;
    gone = false;
    session = Rfc2217{};
    receivedNext = 0;
    receivedEnd = 0;
    spokeTelnet = false;
    afterIac = false;
    failureKind = telnet ? SetLine(baud) : NetFailureKind::kNone;
    if (failureKind == NetFailureKind::kStopped) {
        std::snprintf(failure, sizeof failure, "a stop came as the line was being set");
    }
    if (failureKind != NetFailureKind::kNone) {
        CloseNetSocket(s);
        netSocket = kNoSocket;
        gone = false;
        return FailOpen(LineFailureError(failureKind), comError);
    }
    if (comError != nullptr) {
        *comError = 0;
    }
    return NetSocketPort(s);
}

// Waits as WaitForComByte, the stop signals held back (HoldNetWait).
unsigned char AwaitNetByte(int32_t timeoutMs) {
    const int64_t deadline = SteadyNowUs() + static_cast<int64_t>(timeoutMs) * 1000;
    bool waited = false;
    for (;;) {
        if (receivedNext < receivedEnd) {
            const unsigned char byte = received[receivedNext++];
            if (byte != 0) {
                NoteByteRead(SteadyNowUs(), waited);
            }
            return byte;
        }
        // The wait comes before the read (it ends at once when bytes are
        // there), which spares a read on every answer; so the read after it
        // is begun at or after the deadline before silence is reported, as
        // on a serial port.
        const int64_t before = SteadyNowUs();
        if (AwaitNetSocket(netSocket, std::max<int64_t>(0, deadline - before)) < 0) {
            return 0;  // a stop signal: the run ends now, not at the deadline
        }
        const int64_t after = SteadyNowUs();
        waited = waited || after - before > kAlreadyThereUs;
        if (TakeIn() > 0) {
            continue;
        }
        if (gone || after >= deadline) {
            return 0;
        }
    }
}

unsigned char WaitForNetByte(ComPort, int32_t timeoutMs) {
    if (timeoutMs <= 0 || gone) {
        return 0;
    }
    HoldNetWait();
    const unsigned char byte = AwaitNetByte(timeoutMs);
    ReleaseNetWait();
    return byte;
}

bool NetPortGone(ComPort) {
    return gone;
}

// Every write leaves at once.
void WriteNetBytes(ComPort, const void* bytes, std::size_t count) {
    NoteBytesWritten(SteadyNowUs(), count);
    const auto* next = static_cast<const unsigned char*>(bytes);
    if (!telnet) {
        Send(next, count);
        return;
    }
    unsigned char escaped[2 * kChunk];
    while (count > 0) {
        const std::size_t part = count < kChunk ? count : kChunk;
        Send(escaped, EscapeRfc2217(next, part, escaped));
        next += part;
        count -= part;
    }
}

void FlushNetInput(ComPort) {
    std::size_t discarded = 0;
    do {
        discarded += receivedEnd - receivedNext;
        receivedNext = receivedEnd;
        // A stop ends the flush too: the run ends with what is left unread.
    } while (discarded < kFlushLimit && !NetStopRequested() && TakeIn() > 0);
    if (telnet) {
        unsigned char purge[8];
        Send(purge, Rfc2217Purge(purge));
    }
}

void CloseNetPort(ComPort) {
    if (netSocket != kNoSocket) {
        CloseNetSocket(netSocket);
    }
    netSocket = kNoSocket;
    gone = false;
}

// A network port holds no claim: the system closes it as the program ends.
void AbandonNetPort(ComPort) {}

}  // namespace

const PortOps kNetPortOps = {OpenNetPort,   WaitForNetByte, NetPortGone,   WriteNetBytes,
                             FlushNetInput, CloseNetPort,   AbandonNetPort};

const char* NetOpenFailure() {
    return failure;
}

NetFailureKind NetOpenFailureKind() {
    return failureKind;
}

const char* NetPortAddress() {
    return address;
}

void SetNetStopCheck(int (*stopRequested)()) {
    stopCheck = stopRequested;
}

bool NetStopRequested() {
    return stopCheck != nullptr && stopCheck() != 0;
}

bool NetStopUnchecked() {
    return stopCheck == nullptr;
}

bool NetPortSpokeTelnet() {
    return spokeTelnet;
}
