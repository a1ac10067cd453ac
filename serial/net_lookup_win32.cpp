// The name lookup on Windows: the resolver in a thread of its own that sets
// an event when it is done; the caller waits on it in short slices, since a
// stop here is a flag the console handler's thread sets, not a wake-up.
#include <winsock2.h>
// After winsock2.h, which it needs.
#include <ws2tcpip.h>

#include <atomic>
#include <cstdio>
#include <new>

#include "serial/answer_timing.h"
#include "serial/net_lookup.h"
#include "serial/net_port.h"

namespace {

// How often a wait looks at the stop flag.
constexpr DWORD kStopLookMs = 50;

NetResolver resolver = nullptr;

int SystemResolver(const char* host, const char* service, const addrinfo* hints, addrinfo** found) {
    return getaddrinfo(host, service, hints, found);
}

// One lookup, shared by the thread that asked and the helper: the last of
// the two to let go frees it, so one that is given up on ends in its own time.
struct Lookup {
    std::atomic<int> holders{2};
    NetResolver resolve = nullptr;
    char host[kNetPortNameSize] = "";
    char service[8] = "";
    int code = 0;
    addrinfo* found = nullptr;
    HANDLE done = nullptr;  // set by the helper when it has the answer
};

void LetGo(Lookup* lookup) {
    if (lookup->holders.fetch_sub(1) != 1) {
        return;
    }
    if (lookup->found != nullptr) {
        freeaddrinfo(lookup->found);
    }
    if (lookup->done != nullptr) {
        CloseHandle(lookup->done);
    }
    delete lookup;
}

void Resolve(Lookup* lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    lookup->code = lookup->resolve(lookup->host, lookup->service, &hints, &lookup->found);
    if (lookup->code != 0) {
        lookup->found = nullptr;
    }
}

DWORD WINAPI ResolveAndTell(void* argument) {
    auto* lookup = static_cast<Lookup*>(argument);
    Resolve(lookup);
    SetEvent(lookup->done);
    LetGo(lookup);
    return 0;
}

NetLookup AwaitLookup(const Lookup& lookup, int64_t deadlineUs) {
    for (;;) {
        if (NetStopRequested()) {
            return NetLookup::kStopped;
        }
        const int64_t left = deadlineUs - SteadyNowUs();
        if (left <= 0) {
            return NetLookup::kTimedOut;
        }
        const DWORD ms = static_cast<DWORD>((left + 999) / 1000);
        if (WaitForSingleObject(lookup.done, ms < kStopLookMs ? ms : kStopLookMs) ==
            WAIT_OBJECT_0) {
            return NetLookup::kFound;  // the helper has answered: found or not
        }
    }
}

}  // namespace

void SetNetResolver(NetResolver replacement) {
    resolver = replacement;
}

NetLookup LookUpNetName(const char* host, const char* service, int64_t deadlineUs, addrinfo** found,
                        int* code) {
    *found = nullptr;
    *code = 0;
    Lookup* lookup = new (std::nothrow) Lookup;
    if (lookup == nullptr) {
        *code = WSA_NOT_ENOUGH_MEMORY;
        return NetLookup::kFailed;
    }
    lookup->resolve = resolver != nullptr ? resolver : SystemResolver;
    std::snprintf(lookup->host, sizeof lookup->host, "%s", host);
    std::snprintf(lookup->service, sizeof lookup->service, "%s", service);
    lookup->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE helper = lookup->done != nullptr
                        ? CreateThread(nullptr, 0, ResolveAndTell, lookup, 0, nullptr)
                        : nullptr;
    NetLookup result = NetLookup::kFound;
    if (helper != nullptr) {
        CloseHandle(helper);  // it runs on; the lookup is what is shared
        result = AwaitLookup(*lookup, deadlineUs);
    } else {
        // No thread to be had: the lookup runs here, bounded by the
        // resolver's own time only.
        Resolve(lookup);
        lookup->holders = 1;
    }
    if (result == NetLookup::kFound) {
        *code = lookup->code;
        *found = lookup->found;
        lookup->found = nullptr;
        result = *code == 0 ? NetLookup::kFound : NetLookup::kFailed;
    }
    LetGo(lookup);
    return result;
}
