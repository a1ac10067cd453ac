// The name lookup on POSIX hosts: the resolver in a detached thread that
// says it is done through a pipe, which the calling thread waits on with
// the stop signals let in only as it sleeps.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>

#include "serial/answer_timing.h"
#include "serial/net_lookup.h"
#include "serial/net_port.h"
#include "serial/stop_signals_posix.h"

namespace {

NetResolver resolver = nullptr;

// One lookup, shared by the thread that asked and the helper: the last of
// the two to let go frees it, so one that is given up on ends in its own time.
struct Lookup {
    std::atomic<int> holders{2};
    NetResolver resolve = nullptr;
    char host[kNetPortNameSize] = "";
    char service[8] = "";
    int code = 0;
    addrinfo* found = nullptr;
    int done[2] = {-1, -1};  // the helper writes a byte when it has the answer
};

void LetGo(Lookup* lookup) {
    if (lookup->holders.fetch_sub(1) != 1) {
        return;
    }
    if (lookup->found != nullptr) {
        freeaddrinfo(lookup->found);
    }
    close(lookup->done[0]);
    close(lookup->done[1]);
    delete lookup;
}

void Resolve(Lookup* lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    const int code = lookup->resolve(lookup->host, lookup->service, &hints, &lookup->found);
    lookup->code = code == EAI_SYSTEM ? errno : code;
    if (code != 0) {
        lookup->found = nullptr;
    }
}

void* ResolveAndTell(void* argument) {
    auto* lookup = static_cast<Lookup*>(argument);
    Resolve(lookup);
    const char byte = 1;
    // The pipe is the lookup's own and still open: a write of one byte cannot fail.
    ssize_t ignored = write(lookup->done[1], &byte, 1);
    (void)ignored;
    LetGo(lookup);
    return nullptr;
}

// Waits for the helper's byte until `deadlineUs`, the stop signals held
// back except while asleep.
NetLookup AwaitLookup(const Lookup& lookup, int64_t deadlineUs, const sigset_t& sleeping) {
    for (;;) {
        if (NetStopRequested()) {
            return NetLookup::kStopped;
        }
        const int64_t left = deadlineUs - SteadyNowUs();
        if (left <= 0) {
            return NetLookup::kTimedOut;
        }
        pollfd waiting{lookup.done[0], POLLIN, 0};
        const timespec timeout{static_cast<time_t>(left / 1000000),
                               static_cast<long>(left % 1000000) * 1000};
        const int ready = ppoll(&waiting, 1, &timeout, &sleeping);
        if (ready > 0) {
            return NetLookup::kFound;  // the helper has answered: found or not
        }
        if (ready < 0 && errno == EINTR && NetStopUnchecked()) {
            return NetLookup::kStopped;
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
        *code = ENOMEM;
        return NetLookup::kFailed;
    }
    lookup->resolve = resolver != nullptr ? resolver : getaddrinfo;
    std::snprintf(lookup->host, sizeof lookup->host, "%s", host);
    std::snprintf(lookup->service, sizeof lookup->service, "%s", service);
    // The helper is started with the stop signals held back, as they are
    // here now, and keeps them so: a stop is this thread's to take.
    sigset_t callers;
    sigset_t sleeping;
    HoldStopSignals(&callers, &sleeping);
    pthread_t helper;
    pthread_attr_t detached;
    pthread_attr_init(&detached);
    pthread_attr_setdetachstate(&detached, PTHREAD_CREATE_DETACHED);
    const bool started = pipe2(lookup->done, O_CLOEXEC) == 0 &&
                         pthread_create(&helper, &detached, ResolveAndTell, lookup) == 0;
    pthread_attr_destroy(&detached);
    NetLookup result = NetLookup::kFound;
    if (started) {
        result = AwaitLookup(*lookup, deadlineUs, sleeping);
    } else {
        // No thread to be had: the lookup runs here, bounded by the
        // resolver's own time only.
        Resolve(lookup);
        lookup->holders = 1;
    }
    pthread_sigmask(SIG_SETMASK, &callers, nullptr);
    if (result == NetLookup::kFound) {
        *code = lookup->code;
        *found = lookup->found;
        lookup->found = nullptr;
        result = *code == 0 ? NetLookup::kFound : NetLookup::kFailed;
    }
    LetGo(lookup);
    return result;
}
