// The sockets under a network port: BSD sockets on POSIX hosts
// (net_socket_posix.cpp), Winsock on Windows (net_socket_win32.cpp), picked
// by the build. Every socket here is non-blocking, with TCP_NODELAY so each
// write leaves at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/net_lookup.h"
#include "serial/serial_link.h"

using NetSocket = intptr_t;  // a descriptor, or a Winsock SOCKET
constexpr NetSocket kNoSocket = -1;

// Why a connection was not made: the system's error code (errno, a
// getaddrinfo code, or a Winsock error), whether the name did not resolve,
// whether the resolver gave no answer in time, and whether a stop ended it.
struct NetFailure {
    int32_t error = 0;
    bool resolving = false;
    bool lookupTimedOut = false;  // error is then EAI_AGAIN (WSATRY_AGAIN)
    bool stopped = false;         // error is then EINTR (WSAEINTR)
};

// The error code for a port name that is not tcp://HOST:PORT or
// rfc2217://HOST:PORT, and for a line setting the server kept otherwise
// (EINVAL, WSAEINVAL); for an rfc2217:// server that did not answer the
// option (EPROTONOSUPPORT, WSAEPROTONOSUPPORT); for a connection closed as
// it was set up (ECONNRESET, WSAECONNRESET); for a stop (EINTR, WSAEINTR);
// for a lookup that got no answer in time (EAI_AGAIN, WSATRY_AGAIN).
extern const int32_t kNetBadNameError;
extern const int32_t kNetNotRfc2217Error;
extern const int32_t kNetClosedError;
extern const int32_t kNetStoppedError;
extern const int32_t kNetLookupTimedOutError;

// The failure of a lookup that ended `looked` (not kFound), `code` the
// resolver's when it said no.
inline NetFailure NetLookupFailure(NetLookup looked, int code) {
    NetFailure failure;
    failure.resolving = looked != NetLookup::kStopped;
    failure.lookupTimedOut = looked == NetLookup::kTimedOut;
    failure.stopped = looked == NetLookup::kStopped;
    failure.error = looked == NetLookup::kFailed     ? code
                    : looked == NetLookup::kTimedOut ? kNetLookupTimedOutError
                                                     : kNetStoppedError;
    return failure;
}

// Resolves `host` and connects to `service` (a port number) on each of its
// addresses in turn, within `timeoutMs` milliseconds in all, the lookup
// included; a stop (NetStopRequested, or on POSIX a caught signal) ends it
// at once. Returns the connected socket, or kNoSocket with *failure filled
// (ETIMEDOUT or WSAETIMEDOUT when the time ran out); nothing is left open
// then. On Windows one socket is open at a time: its wait is kept beside it.
NetSocket ConnectNetSocket(const char* host, const char* service, int32_t timeoutMs,
                           NetFailure* failure);

// Writes the system's words for `failure` into `text` (of `size` bytes,
// always terminated).
void DescribeNetFailure(const NetFailure& failure, char* text, std::size_t size);

// Holds the stop signals back until ReleaseNetWait, except inside
// AwaitNetSocket, so one that comes between two of its waits ends the next
// at once (POSIX; on Windows a stop is a flag another thread sets).
void HoldNetWait();
void ReleaseNetWait();

// Waits up to `timeoutUs` microseconds for `s` to have something to read
// (or to be closed). Returns 1 when it has, 0 when the time ran out, -1 when
// a signal the program catches cut the wait short (POSIX).
int AwaitNetSocket(NetSocket s, int64_t timeoutUs);

// Reads what `s` holds, up to `size` bytes, without waiting. Returns the
// count, 0 when nothing is there, -1 when the connection is closed or failed.
long ReadNetSocket(NetSocket s, unsigned char* bytes, std::size_t size);

// Sends `count` bytes, waiting up to 5 s in all for room. Returns 0 (also
// when the time ran out, the rest unsent), or -1 when the connection failed.
int SendNetSocket(NetSocket s, const unsigned char* bytes, std::size_t count);

void CloseNetSocket(NetSocket s);

// The serial link's port for `s`.
ComPort NetSocketPort(NetSocket s);
