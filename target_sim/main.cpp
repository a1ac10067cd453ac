// targetsim: a simulated Z80 target on a pseudo-terminal.
//
// Opens a pseudo-terminal, prints "PORT <path>" on its first output line (and
// links the path to --link when given), then answers the host as the board's
// monitor does until SIGTERM or SIGINT, when it saves its memory image.
// See Usage() (options.cpp) for the options, including the faults it can play.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "run/help.h"
#include "target_sim/board.h"
#include "target_sim/options.h"
#include "target_sim/port.h"
#include "target_sim/session.h"
#include "target_sim/transcript.h"

namespace {

// The monitor firmware's ROM image, as the build names it.
constexpr const char* kRomName = "z80-monitor.rom";

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}

volatile std::sig_atomic_t syncRequested = 0;

// The emulated board, with --cpu.
Board board;

void OnSyncSignal(int) {
    syncRequested = 1;
}

// Returns the monitor firmware's ROM image built with targetsim: the one
// beside the executable (a build tree), else the one installed with it
// (share/z80-host-tools beside its bin/, wherever the package put both),
// else the one at the path configured at build time; "" when there is none.
std::string DefaultRomPath() {
    std::vector<std::string> places;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string dir(self, static_cast<std::size_t>(length));
        dir = dir.substr(0, dir.rfind('/') + 1);
        places.push_back(dir + kRomName);
        places.push_back(dir + "../share/z80-host-tools/" + kRomName);
    }
#ifdef TARGETSIM_ROM_DIR
    places.push_back(std::string(TARGETSIM_ROM_DIR) + "/" + kRomName);
#endif
    for (const std::string& place : places) {
        if (access(place.c_str(), R_OK) == 0) {
            return place;
        }
    }
    return "";
}

// Loads the board's ROM: --rom's image or the built one. Returns 0, or -1
// after printing why.
int LoadRom(const Options& options) {
    const std::string path = options.rom.empty() ? DefaultRomPath() : options.rom;
    if (path.empty()) {
        std::fprintf(stderr,
                     "targetsim: the monitor firmware's ROM image (%s) is neither beside "
                     "targetsim nor installed; give one with --rom FILE\n",
                     kRomName);
        return -1;
    }
    if (LoadBoardRom(path, &board) < 0) {
        return -1;
    }
    board.romPath = path;
    if (options.receiveGap > 0) {
        board.uart.receiveGapCycles = options.receiveGap;
    }
    return 0;
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
    auto& memory = session->memory();
    const std::size_t got = std::fread(memory.data(), 1, memory.size(), in);
    std::fclose(in);
    session->Note('E', "memory loaded " + std::to_string(got) + " bytes");
    return 0;
}

// Saves `session`'s memory image to `path`. Returns 0, or -1 after printing why.
int SaveMemoryImage(const std::string& path, Session* session) {
    const auto& memory = session->memory();
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
    if (options.cpu && LoadRom(options) != 0) {
        return 1;
    }
    Session session(options.config, options.pace, options.latencyMs, &port, &transcript,
                    options.cpu ? &board : nullptr);
    if (!options.memoryIn.empty() && LoadMemoryImage(options.memoryIn, &session) != 0) {
        return 1;
    }
    // The board starts once its memory is in: the ROM goes over the image's
    // first 8 KiB, and the processor leaves its reset.
    if (options.cpu) {
        if (StartBoard(&board) != 0) {
            std::fprintf(stderr, "targetsim: no processor for the board\n");
            return 1;
        }
        session.Note('E', "board started, ROM " + board.romPath + " " +
                              std::to_string(board.rom.size()) + " bytes");
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
    StopBoard(&board);
    session.Note('E', "stopped");
    transcript.Close();
    CloseSimPort(&port);
    return 0;
}
