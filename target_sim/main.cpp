// targetsim: a simulated Z80 target on a pseudo-terminal.
//
// Opens a pseudo-terminal, prints "PORT <path>" on its first output line (and
// links the path to --link when given), then answers the host as the board's
// monitor does until SIGTERM or SIGINT, when it saves its memory image.
// See Usage() (options.cpp) for the options, including the faults it can play.
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "run/help.h"
#include "target_sim/options.h"
#include "target_sim/port.h"
#include "target_sim/session.h"
#include "target_sim/transcript.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}

volatile std::sig_atomic_t syncRequested = 0;

void OnSyncSignal(int) {
    syncRequested = 1;
}

// Loads the memory image from `path` into `session`'s monitor (as much of
// it as the file holds). Returns 0, or -1 after printing why.
int LoadMemoryImage(const std::string& path, Session* session) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    struct stat info {};
    if (in == nullptr || fstat(fileno(in), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "targetsim: memory image %s: %s\n", path.c_str(),
                     in == nullptr ? std::strerror(errno) : "not a file");
        if (in != nullptr) {
            std::fclose(in);
        }
        return -1;
    }
    auto& memory = session->monitor().memory;
    const std::size_t got = std::fread(memory.data(), 1, memory.size(), in);
    std::fclose(in);
    session->Note('E', "memory loaded " + std::to_string(got) + " bytes");
    return 0;
}

// Saves `session`'s memory image to `path`. Returns 0, or -1 after printing why.
int SaveMemoryImage(const std::string& path, Session* session) {
    const auto& memory = session->monitor().memory;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(memory.data(), 1, memory.size(), out) != memory.size() ||
        std::fclose(out) != 0) {
        std::perror("targetsim: memory image");
        return -1;
    }
    return 0;
}

// Writes how late the answers left, in microseconds, to `path`.
// Returns 0, or -1 after printing why.
int WriteLineStats(const std::string& path, const SimLine& line) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    const int64_t sent = line.bytesSent;
    if (out == nullptr ||
        std::fprintf(out, "answer_bytes %lld\nlate_mean_us %.1f\nlate_max_us %.1f\n",
                     static_cast<long long>(sent),
                     sent > 0 ? static_cast<double>(line.latenessSumNs) / sent / 1000.0 : 0.0,
                     static_cast<double>(line.latenessMaxNs) / 1000.0) < 0 ||
        std::fclose(out) != 0) {
        std::perror("targetsim: line stats");
        return -1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // --help and --version alone, then the options.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        Usage();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        PrintVersion("targetsim");
        return 0;
    }
    Options options;
    if (ParseOptions(argc, argv, &options) != 0) {
        return 1;
    }

    // The port, the transcript and the monitor with its memory.
    SimPort port;
    if (OpenSimPort(&port) != 0) {
        return 1;
    }
    Transcript transcript;
    if (!options.transcript.empty() && !transcript.Open(options.transcript)) {
        std::perror("targetsim: transcript");
        return 1;
    }
    Session session(options.config, options.pace, options.latencyMs, &port, &transcript);
    if (!options.memoryIn.empty() && LoadMemoryImage(options.memoryIn, &session) != 0) {
        return 1;
    }

    // The link, the stop signals, and the port's path for whoever started us.
    if (!options.link.empty() && MakePortLink(options.link, port.path) != 0) {
        return 1;
    }
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    // SIGUSR1 asks for the transcript up to now: answered with "SYNC" on
    // standard output once everything the host wrote is in the file.
    struct sigaction sync {};
    sync.sa_handler = OnSyncSignal;
    sigaction(SIGUSR1, &sync, nullptr);
    std::printf("PORT %s\n", port.path.c_str());
    std::fflush(stdout);

    // Serve until asked to stop (or hung up).
    session.Serve(&stopRequested, &syncRequested, [] {
        std::printf("SYNC\n");
        std::fflush(stdout);
    });

    // Save the memory image and the line's figures, and leave.
    if (!options.memoryOut.empty() && SaveMemoryImage(options.memoryOut, &session) != 0) {
        return 1;
    }
    if (!options.lineStats.empty() && WriteLineStats(options.lineStats, session.line()) != 0) {
        return 1;
    }
    if (!options.link.empty()) {
        RemovePortLink(options.link, port.path);
    }
    session.Note('E', "stopped");
    transcript.Close();
    CloseSimPort(&port);
    return 0;
}
