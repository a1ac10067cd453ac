// The name lookup under a network port's connection: the resolver runs in a
// helper thread of its own, so the connection's deadline bounds it and a
// stop ends it, whatever the system's resolver takes (POSIX:
// net_lookup_posix.cpp, Windows: net_lookup_win32.cpp).
#pragma once

#include <cstdint>

struct addrinfo;

// A resolver of getaddrinfo's shape. The lookup calls getaddrinfo unless one
// is put in its place (tests); what it finds is freed with freeaddrinfo.
using NetResolver = int (*)(const char* host, const char* service, const addrinfo* hints,
                            addrinfo** found);

// Puts `resolver` in getaddrinfo's place for the lookups from now on;
// nullptr gives getaddrinfo back.
void SetNetResolver(NetResolver resolver);

enum class NetLookup {
    kFound,     // *found holds the addresses
    kFailed,    // the resolver said no: its code in *code
    kTimedOut,  // no answer by the deadline
    kStopped,   // a stop came first
};

// Looks up `host` and the port number `service` for a TCP connection, until
// `deadlineUs` (SteadyNowUs's clock). Returns kFound with *found (free it
// with freeaddrinfo); kFailed with getaddrinfo's code in *code (on POSIX the
// errno of EAI_SYSTEM instead, as a positive number); or kTimedOut or
// kStopped, the lookup left to end on its own then.
NetLookup LookUpNetName(const char* host, const char* service, int64_t deadlineUs, addrinfo** found,
                        int* code);

// True when a stop was asked for (SetNetStopCheck's check says so).
bool NetStopRequested();
// True when no check was put: a caught signal is then taken for a stop.
bool NetStopUnchecked();
