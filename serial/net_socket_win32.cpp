// Winsock under a network port.
#include <winsock2.h>
// After winsock2.h, which it needs.
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "serial/answer_timing.h"
#include "serial/net_lookup.h"
#include "serial/net_socket.h"

namespace {

// SIO_TCP_SET_ACK_FREQUENCY, _WSAIOW(IOC_VENDOR, 23), which MinGW's headers lack.
constexpr DWORD kSetAckFrequency = 0x98000017;

// Set when the open socket has bytes to read or was closed (WSAEventSelect).
// A wait on it costs far fewer system round trips than select, which under
// Wine made every echo a program waits for some 0.4 ms slower.
WSAEVENT readable = WSA_INVALID_EVENT;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Winsock is started once, by the first connection; it ends with the program.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

timeval AsTimeval(int64_t us) {
    timeval tv{};
    tv.tv_sec = static_cast<long>(us / 1000000);
    tv.tv_usec = static_cast<long>(us % 1000000);
    return tv;
}

// How often a wait looks at the stop flag.
constexpr int64_t kStopLookMs = 50;

// Waits for the connection under way on `s` until `deadlineMs`, looking at
// the stop flag between short waits. Returns 0 when it is made, WSAEINTR
// for a stop, else the error that stopped it.
int AwaitConnected(SOCKET s, int64_t deadlineMs) {
    for (;;) {
        if (NetStopRequested()) {
            return WSAEINTR;
        }
        const int64_t left = deadlineMs - NowMs();
        if (left <= 0) {
            return WSAETIMEDOUT;
        }
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval timeout = AsTimeval((left < kStopLookMs ? left : kStopLookMs) * 1000);
        const int ready = select(0, nullptr, &writable, &failed, &timeout);
        if (ready == 0) {
            continue;
        }
        if (ready == SOCKET_ERROR) {
            return WSAGetLastError();
        }
        int error = 0;
        int length = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
            return WSAGetLastError();
        }
        return FD_ISSET(s, &failed) && error == 0 ? WSAECONNREFUSED : error;
    }
}

}  // namespace

const int32_t kNetBadNameError = WSAEINVAL;
const int32_t kNetNotRfc2217Error = WSAEPROTONOSUPPORT;
const int32_t kNetClosedError = WSAECONNRESET;
const int32_t kNetStoppedError = WSAEINTR;
const int32_t kNetLookupTimedOutError = WSATRY_AGAIN;

NetSocket ConnectNetSocket(const char* host, const char* service, int32_t timeoutMs,
                           NetFailure* failure) {
    *failure = NetFailure{};
    if (!StartWinsock()) {
        failure->error = static_cast<int32_t>(WSAGetLastError());
        return kNoSocket;
    }
    const int64_t deadline = NowMs() + timeoutMs;
    addrinfo* found = nullptr;
    int code = 0;
    const NetLookup looked =
        LookUpNetName(host, service, SteadyNowUs() + timeoutMs * 1000LL, &found, &code);
    if (looked != NetLookup::kFound) {
        *failure = NetLookupFailure(looked, code);
        return kNoSocket;
    }
    failure->error = WSAETIMEDOUT;
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* address = found; address != nullptr && s == INVALID_SOCKET;
         address = address->ai_next) {
        s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (s == INVALID_SOCKET) {
            failure->error = WSAGetLastError();
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        int error = 0;
        if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
            error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                error = AwaitConnected(s, deadline);
            }
        }
        if (error != 0) {
            failure->error = error;
            failure->stopped = error == WSAEINTR;
            closesocket(s);
            s = INVALID_SOCKET;
            if (error == WSAETIMEDOUT || error == WSAEINTR) {
                break;
            }
        }
    }
    freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        return kNoSocket;
    }
    readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT || WSAEventSelect(s, readable, FD_READ | FD_CLOSE) != 0) {
        failure->error = WSAGetLastError();
        CloseNetSocket(static_cast<NetSocket>(s));
        return kNoSocket;
    }
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // Every segment acknowledged at once (SIO_TCP_SET_ACK_FREQUENCY, Windows
    // 10 and later): a server that holds small writes until the last is
    // acknowledged (Nagle) would otherwise wait out the delayed
    // acknowledgement between the bytes of one answer. Refused elsewhere.
    DWORD frequency = 1;
    DWORD returned = 0;
    WSAIoctl(s, kSetAckFrequency, &frequency, sizeof frequency, nullptr, 0, &returned, nullptr,
             nullptr);
    return static_cast<NetSocket>(s);
}

void DescribeNetFailure(const NetFailure& failure, char* text, std::size_t size) {
    if (failure.lookupTimedOut) {
        std::snprintf(text, size, "the resolver gave no answer in time, shown as error %ld",
                      static_cast<long>(failure.error));
        return;
    }
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(failure.error), 0, text,
                                        static_cast<DWORD>(size), nullptr);
    std::size_t end = length > 0 && length < size ? length : 0;
    // The system's sentence ends in a period and a line end; the hint goes on.
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == '.' ||
                       text[end - 1] == ' ')) {
        --end;
    }
    if (end == 0) {
        std::snprintf(text, size, "error %ld", static_cast<long>(failure.error));
        return;
    }
    text[end] = '\0';
}

// A stop on Windows is a flag the console handler's thread sets: nothing
// to hold back.
void HoldNetWait() {}
void ReleaseNetWait() {}

int AwaitNetSocket(NetSocket s, int64_t timeoutUs) {
    // The event is set once per arrival, not while bytes wait unread: it is
    // reset first and then the socket looked at, so bytes that come after
    // the look set it again. A peek sees a closed connection too.
    WSAResetEvent(readable);
    char next = 0;
    if (recv(static_cast<SOCKET>(s), &next, 1, MSG_PEEK) != SOCKET_ERROR ||
        WSAGetLastError() != WSAEWOULDBLOCK) {
        return 1;  // bytes, a close or a failure: a read will tell
    }
    const DWORD ms = static_cast<DWORD>((timeoutUs + 999) / 1000);
    return WaitForSingleObject(readable, ms) == WAIT_OBJECT_0 ? 1 : 0;
}

long ReadNetSocket(NetSocket s, unsigned char* bytes, std::size_t size) {
    const int got =
        recv(static_cast<SOCKET>(s), reinterpret_cast<char*>(bytes), static_cast<int>(size), 0);
    if (got > 0) {
        return got;
    }
    if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        return 0;
    }
    return -1;  // closed by the other end (0), reset or failed
}

int SendNetSocket(NetSocket s, const unsigned char* bytes, std::size_t count) {
    const int64_t giveUp = NowMs() + 5000;
    while (count > 0) {
        const int sent = send(static_cast<SOCKET>(s), reinterpret_cast<const char*>(bytes),
                              static_cast<int>(count), 0);
        if (sent > 0) {
            bytes += sent;
            count -= static_cast<std::size_t>(sent);
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return -1;
        }
        const int64_t left = giveUp - NowMs();
        if (left <= 0) {
            return 0;
        }
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(static_cast<SOCKET>(s), &writable);
        timeval timeout = AsTimeval(left * 1000);
        select(0, nullptr, &writable, nullptr, &timeout);
    }
    return 0;
}

void CloseNetSocket(NetSocket s) {
    closesocket(static_cast<SOCKET>(s));
    if (readable != WSA_INVALID_EVENT) {
        WSACloseEvent(readable);
        readable = WSA_INVALID_EVENT;
    }
}

ComPort NetSocketPort(NetSocket s) {
    return reinterpret_cast<ComPort>(s);
}
