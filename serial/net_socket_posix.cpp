// BSD sockets under a network port.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "serial/answer_timing.h"
#include "serial/net_lookup.h"
#include "serial/net_socket.h"
#include "serial/stop_signals_posix.h"

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits for the connection under way on `fd` until `deadlineMs`, the stop
// signals held back except while asleep. Returns 0 when it is made, EINTR
// for a stop, else the error that stopped it.
int AwaitConnected(int fd, int64_t deadlineMs) {
    sigset_t callers;
    sigset_t sleeping;
    HoldStopSignals(&callers, &sleeping);
    int error = ETIMEDOUT;
    for (;;) {
        if (NetStopRequested()) {
            error = EINTR;
            break;
        }
        const int64_t left = deadlineMs - NowMs();
        if (left <= 0) {
            break;
        }
        pollfd waiting{fd, POLLOUT, 0};
        const timespec timeout{static_cast<time_t>(left / 1000),
                               static_cast<long>(left % 1000) * 1000000};
        const int ready = ppoll(&waiting, 1, &timeout, &sleeping);
        if (ready < 0 && errno == EINTR) {
            if (NetStopUnchecked()) {
                error = EINTR;
                break;
            }
            continue;  // not a stop: the wait goes on
        }
        if (ready < 0) {
            error = errno;
            break;
        }
        if (ready == 0) {
            continue;  // the deadline, looked at above
        }
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
        break;
    }
    pthread_sigmask(SIG_SETMASK, &callers, nullptr);
    return error;
}

}  // namespace

const int32_t kNetBadNameError = EINVAL;
const int32_t kNetNotRfc2217Error = EPROTONOSUPPORT;
const int32_t kNetClosedError = ECONNRESET;
const int32_t kNetStoppedError = EINTR;
const int32_t kNetLookupTimedOutError = EAI_AGAIN;

NetSocket ConnectNetSocket(const char* host, const char* service, int32_t timeoutMs,
                           NetFailure* failure) {
    *failure = NetFailure{};
    const int64_t deadline = NowMs() + timeoutMs;
    addrinfo* found = nullptr;
    int code = 0;
    const NetLookup looked =
        LookUpNetName(host, service, SteadyNowUs() + timeoutMs * 1000LL, &found, &code);
    if (looked != NetLookup::kFound) {
        *failure = NetLookupFailure(looked, code);
        return kNoSocket;
    }
    failure->error = ETIMEDOUT;
    int fd = -1;
    for (const addrinfo* address = found; address != nullptr && fd < 0;
         address = address->ai_next) {
        fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    address->ai_protocol);
        if (fd < 0) {
            failure->error = errno;
            continue;
        }
        int error = 0;
        if (connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
            error = errno == EINPROGRESS ? AwaitConnected(fd, deadline) : errno;
        }
        if (error != 0) {
            failure->error = error;
            failure->stopped = error == EINTR;
            close(fd);
            fd = -1;
            if (error == ETIMEDOUT || error == EINTR) {
                break;
            }
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        errno = failure->error;
        return kNoSocket;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

void DescribeNetFailure(const NetFailure& failure, char* text, std::size_t size) {
    if (failure.lookupTimedOut) {
        std::snprintf(text, size, "the resolver gave no answer in time, shown as its error %d",
                      static_cast<int>(failure.error));
    } else if (failure.resolving && failure.error < 0) {
        // getaddrinfo's codes are not errno values, though the port's
        // error line shows them where it shows one.
        std::snprintf(text, size, "the resolver's error %d: %s", static_cast<int>(failure.error),
                      gai_strerror(failure.error));
    } else {
        std::snprintf(text, size, "%s", std::strerror(failure.error));
    }
}

namespace {

bool held = false;
sigset_t callers;   // the thread's mask before HoldNetWait
sigset_t sleeping;  // the mask AwaitNetSocket sleeps with while held

}  // namespace

void HoldNetWait() {
    HoldStopSignals(&callers, &sleeping);
    held = true;
}

void ReleaseNetWait() {
    if (held) {
        pthread_sigmask(SIG_SETMASK, &callers, nullptr);
        held = false;
    }
}

int AwaitNetSocket(NetSocket s, int64_t timeoutUs) {
    pollfd waiting{static_cast<int>(s), POLLIN, 0};
    const timespec timeout{static_cast<time_t>(timeoutUs / 1000000),
                           static_cast<long>(timeoutUs % 1000000) * 1000};
    const int ready = ppoll(&waiting, 1, &timeout, held ? &sleeping : nullptr);
    if (ready < 0) {
        return errno == EINTR ? -1 : 1;  // any other failure: a read will tell
    }
    return ready > 0 ? 1 : 0;
}

long ReadNetSocket(NetSocket s, unsigned char* bytes, std::size_t size) {
    const ssize_t got = recv(static_cast<int>(s), bytes, size, 0);
    if (got > 0) {
        // Acknowledged at once: a server that holds small writes until the
        // last is acknowledged (Nagle) would otherwise wait out the delayed
        // acknowledgement, up to 40 ms, between the bytes of one answer.
        // The kernel drops back to delayed acknowledgements, so this is
        // asked for after every read.
        int on = 1;
        setsockopt(static_cast<int>(s), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        return static_cast<long>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return 0;
    }
    return -1;  // closed by the other end (0), reset or failed
}

int SendNetSocket(NetSocket s, const unsigned char* bytes, std::size_t count) {
    const int64_t giveUp = NowMs() + 5000;
    while (count > 0) {
        // MSG_NOSIGNAL: a connection gone is told by the result, not SIGPIPE.
        const ssize_t sent = send(static_cast<int>(s), bytes, count, MSG_NOSIGNAL);
        if (sent > 0) {
            bytes += sent;
            count -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return -1;
        }
        const int64_t left = giveUp - NowMs();
        pollfd waiting{static_cast<int>(s), POLLOUT, 0};
        if (left <= 0 || (poll(&waiting, 1, static_cast<int>(left)) < 0 && errno != EINTR)) {
            return 0;
        }
    }
    return 0;
}

void CloseNetSocket(NetSocket s) {
    close(static_cast<int>(s));
}

ComPort NetSocketPort(NetSocket s) {
    return static_cast<ComPort>(s);
}
