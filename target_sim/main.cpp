// targetsim: a simulated Z80 target on a pseudo-terminal.
//
// Opens a pseudo-terminal, prints "PORT <path>" on its first output line (and
// links the path to --link when given), then answers the host as the board's
// monitor does until SIGTERM or SIGINT, when it saves its memory image.
// See Usage() for the options, including the faults it can play.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "programs/common/help.h"
#include "target_sim/monitor.h"
#include "target_sim/sim_line.h"
#include "target_sim/transcript.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// How often an idle simulator looks at the line settings and at a half-sent
// command; bytes from the host and due answers wake it at once.
constexpr int64_t kIdleWakeNs = 20000000;
// The gap between the bytes of a prompt sent one byte per write.
constexpr int64_t kSplitGapNs = 20000000;
// Bytes a chattering target keeps queued for the host: more than the port's
// buffer holds, so it stays full.
constexpr std::size_t kChatterQueued = 128 * 1024;

struct Options {
    SimConfig config;
    std::string link;
    std::string transcript;
    std::string memoryIn;
    std::string memoryOut;
    std::string lineStats;
    bool pace = false;
};

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t NowUs() {
    return NowNs() / 1000;
}

void Usage() {
    std::printf(
        "Usage: targetsim [options]\n"
        "A simulated Z80 target on a pseudo-terminal. Prints 'PORT <path>', then\n"
        "answers as the board's monitor until SIGINT or SIGTERM. --help alone\n"
        "prints this text, --version alone the version.\n"
        "  --link PATH              also make PATH a symlink to the port (an existing\n"
        "                           symlink is replaced, anything else refused)\n"
        "  --transcript FILE        log received (R), sent (S) bytes, line settings (L)\n"
        "                           and events (E), one line each with microseconds\n"
        "  --memory-in FILE         load the 64 KiB memory image from FILE\n"
        "  --memory-out FILE        save the memory image to FILE on exit\n"
        "  --pace                   pace both directions as a 9600 8N2 line: 11 bits\n"
        "                           per character, received bytes taken in at their\n"
        "                           arrival, answers handed over as their last bit ends\n"
        "  --line-stats FILE        on exit, write how late answers left (microseconds)\n"
        "  --prompt TEXT            answer to '@' (escapes \\r \\n \\t \\xHH)\n"
        "  --silent-wake            never answer '@'\n"
        "  --split-prompt           send the prompt one byte per write\n"
        "  --silent-from-record N   no verdict from record N on\n"
        "  --record-answer N=TEXT   answer record N with TEXT instead of its verdict\n"
        "  --dump-answer N=TEXT     answer dump request N with TEXT\n"
        "  --basic-banner TEXT      answer to 'B', ending in the memory question\n"
        "  --basic-ready TEXT       answer to the CR after the memory question\n"
        "  --silent-basic-start     no answer to 'B'\n"
        "  --silent-basic-ready     no answer to the CR after 'top?'\n"
        "  --echo N=TEXT            echo TEXT for the Nth echoed character\n"
        "  --drop-echo N            no echo for the Nth echoed character\n"
        "  --hang-up-at POINT       close the line (both ends) at POINT instead of\n"
        "                           answering, as an adapter pulled out: wake, record:N,\n"
        "                           dump:N, basic (the 'B') or echo:N; then exit\n"
        "  --chatter-at POINT       from POINT on, instead of answering, send\n"
        "                           --chatter-text without end\n"
        "  --chatter-text TEXT      what a chattering target sends (default\n"
        "                           'chatter, chatter\\r\\n')\n");
}

// Reads `text` as a whole positive decimal number; false for anything else
// ("", "0", "3x", "-1", a number too big for an int).
bool ParsePositive(const char* text, int* number) {
    if (*text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || value <= 0 || value > 1000000000L) {
        return false;
    }
    *number = static_cast<int>(value);
    return true;
}

// "N=TEXT" with N a positive number.
bool ParseNumbered(const char* text, int* number, std::string* value) {
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr) {
        return false;
    }
    const std::string count(text, equals);
    *value = Unescape(equals + 1);
    return ParsePositive(count.c_str(), number);
}

// A point of the conversation for --hang-up-at and --chatter-at: "wake",
// "basic", or "record:N", "dump:N", "echo:N" with N a positive number.
bool ValidFaultPoint(const std::string& point) {
    if (point == "wake" || point == "basic") {
        return true;
    }
    int number = 0;
    for (const char* kind : {"record:", "dump:", "echo:"}) {
        const std::size_t length = std::strlen(kind);
        if (point.compare(0, length, kind) == 0) {
            return ParsePositive(point.c_str() + length, &number);
        }
    }
    return false;
}

// A file the simulator writes on exit must be writable then: refuses a
// folder (or anything else that is not a plain file) in its place, so the
// mistake shows at the start rather than after the run.
bool WritableLater(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode) || S_ISCHR(info.st_mode);  // a file, or /dev/null
}

// Returns 0, or -1 after printing what was wrong.
int ParseOptions(int argc, char* argv[], Options* options) {
    SimConfig& config = options->config;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        const bool hasValue = i + 1 < argc;
        const char* value = hasValue ? argv[i + 1] : "";
        int number = 0;
        std::string text;
        if (name == "--pace") {
            options->pace = true;
        } else if (name == "--silent-wake") {
            config.silentWake = true;
        } else if (name == "--split-prompt") {
            config.splitPrompt = true;
        } else if (name == "--silent-basic-start") {
            config.silentBasicStart = true;
        } else if (name == "--silent-basic-ready") {
            config.silentBasicReady = true;
        } else if (!hasValue) {
            std::fprintf(stderr, "targetsim: unknown option or missing value: %s\n", name.c_str());
            return -1;
        } else if (name == "--link") {
            options->link = value, ++i;
        } else if (name == "--transcript") {
            options->transcript = value, ++i;
        } else if (name == "--memory-in") {
            options->memoryIn = value, ++i;
        } else if (name == "--memory-out") {
            options->memoryOut = value, ++i;
        } else if (name == "--line-stats") {
            options->lineStats = value, ++i;
        } else if (name == "--prompt") {
            config.prompt = Unescape(value), ++i;
        } else if (name == "--basic-banner") {
            config.basicBanner = Unescape(value), ++i;
        } else if (name == "--basic-ready") {
            config.basicReady = Unescape(value), ++i;
        } else if (name == "--silent-from-record" && ParsePositive(value, &number)) {
            config.silentFromRecord = number, ++i;
        } else if (name == "--hang-up-at" && ValidFaultPoint(value)) {
            config.hangUpAt = value, ++i;
        } else if (name == "--chatter-at" && ValidFaultPoint(value)) {
            config.chatterAt = value, ++i;
        } else if (name == "--chatter-text" && value[0] != '\0') {
            config.chatterText = Unescape(value), ++i;
        } else if (name == "--drop-echo" && ParsePositive(value, &number)) {
            config.echoDrop[number] = true, ++i;
        } else if (name == "--record-answer" && ParseNumbered(value, &number, &text)) {
            config.recordAnswers[number] = text, ++i;
        } else if (name == "--dump-answer" && ParseNumbered(value, &number, &text)) {
            config.dumpAnswers[number] = text, ++i;
        } else if (name == "--echo" && ParseNumbered(value, &number, &text)) {
            config.echoReplace[number] = text, ++i;
        } else {
            std::fprintf(stderr, "targetsim: bad option or value: %s %s\n", name.c_str(), value);
            return -1;
        }
    }
    for (const std::string* path : {&options->memoryOut, &options->lineStats}) {
        if (!path->empty() && !WritableLater(*path)) {
            std::fprintf(stderr, "targetsim: %s: not a file that can be written\n", path->c_str());
            return -1;
        }
    }
    return 0;
}

// Makes `link` a symbolic link to `port`. Only a symbolic link already there
// (say, one left by a simulator that was killed) is replaced: a file or
// folder at `link` is somebody's, and is left alone.
// Returns 0, or -1 after printing why.
int MakePortLink(const std::string& link, const std::string& port) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr,
                         "targetsim: --link %s: there is a file there, not a link; "
                         "it is left alone\n",
                         link.c_str());
            return -1;
        }
        unlink(link.c_str());
    }
    if (symlink(port.c_str(), link.c_str()) != 0) {
        std::perror(("targetsim: --link " + link).c_str());
        return -1;
    }
    return 0;
}

// Removes `link` if it is still the link to `port` this simulator made.
void RemovePortLink(const std::string& link, const std::string& port) {
    char target[256];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length >= 0 &&
        port.compare(0, std::string::npos, target, static_cast<std::size_t>(length)) == 0) {
        unlink(link.c_str());
    }
}

std::string Hex(const unsigned char* bytes, std::size_t count) {
    std::string out;
    char digits[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        out += digits;
    }
    return out;
}

std::string LineSettings(int slave) {
    termios settings{};
    if (tcgetattr(slave, &settings) != 0) {
        return "unknown";
    }
    speed_t speed = cfgetospeed(&settings);
    const char* baud = speed == B9600    ? "9600"
                       : speed == B19200 ? "19200"
                       : speed == B4800  ? "4800"
                       : speed == B38400 ? "38400"
                                         : "other";
    int bits = (settings.c_cflag & CSIZE) == CS8 ? 8 : (settings.c_cflag & CSIZE) == CS7 ? 7 : 0;
    const bool raw = (settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 &&
                     (settings.c_oflag & OPOST) == 0 &&
                     (settings.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP)) == 0;
    std::string out = std::string("speed=") + baud + " data=" + std::to_string(bits) +
                      " stop=" + ((settings.c_cflag & CSTOPB) ? "2" : "1") +
                      " parity=" + ((settings.c_cflag & PARENB) ? "yes" : "none") +
                      " raw=" + (raw ? "yes" : "no");
    return out;
}

void OnStopSignal(int) {
    stopRequested = 1;
}

}  // namespace

int main(int argc, char* argv[]) {
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

    // The pseudo-terminal; the simulator keeps the terminal side open too, so
    // the port survives the host closing it and its settings can be read.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("targetsim: pseudo-terminal");
        return 1;
    }
    const std::string portPath = ptsname(master);
    int slave = open(portPath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("targetsim: open port");
        return 1;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    Transcript transcript;
    if (!options.transcript.empty() && !transcript.Open(options.transcript)) {
        std::perror("targetsim: transcript");
        return 1;
    }
    const int64_t startUs = NowUs();
    auto note = [&](char kind, const std::string& text) {
        transcript.Note(kind, NowUs() - startUs, text);
    };

    // Answers are queued, never written from inside the monitor: the serve
    // loop hands each byte over when it is due, so the monitor never blocks
    // the line and an answer never waits behind the pace of an earlier one.
    // An answer starts no earlier than the arrival of the byte that asked for
    // it (answerFromNs, set before each byte is given to the monitor).
    SimLine line;
    line.charTimeNs = options.pace ? kCharTimeNs : 0;
    int64_t answerFromNs = 0;
    SetFineTimers();
    SimLink link;
    link.send = [&](const std::string& text) {
        if (text.empty()) {
            return;
        }
        note('S', Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        QueueAnswer(&line, text, answerFromNs);
    };
    link.splitSend = [&](const std::string& text) {
        int64_t from = answerFromNs;
        for (char c : text) {
            note('S', Hex(reinterpret_cast<const unsigned char*>(&c), 1));
            QueueAnswer(&line, std::string(1, c), from);
            from += kSplitGapNs;
        }
    };
    link.event = [&](const std::string& text) { note('E', text); };
    std::string chatter;
    while (!options.config.chatterText.empty() && chatter.size() < 4096) {
        chatter += options.config.chatterText;
    }
    bool hungUp = false;
    link.hangUp = [&] { hungUp = true; };

    Monitor monitor(options.config, link);
    if (!options.memoryIn.empty()) {
        std::FILE* in = std::fopen(options.memoryIn.c_str(), "rb");
        struct stat info {};
        if (in == nullptr || fstat(fileno(in), &info) != 0 || !S_ISREG(info.st_mode)) {
            std::fprintf(stderr, "targetsim: memory image %s: %s\n", options.memoryIn.c_str(),
                         in == nullptr ? std::strerror(errno) : "not a file");
            if (in != nullptr) {
                std::fclose(in);
            }
            return 1;
        }
        std::size_t got = std::fread(monitor.memory.data(), 1, monitor.memory.size(), in);
        std::fclose(in);
        note('E', "memory loaded " + std::to_string(got) + " bytes");
    }

    if (!options.link.empty() && MakePortLink(options.link, portPath) != 0) {
        return 1;
    }
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);

    std::printf("PORT %s\n", portPath.c_str());
    std::fflush(stdout);

    // Reads one chunk from the host and queues the answers; false when
    // nothing was there. Each byte is taken in at its arrival on the line,
    // which on a paced line is later than the read for all but the first.
    auto serveChunk = [&]() {
        unsigned char chunk[512];
        ssize_t got = read(master, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        const int64_t readNs = NowNs();
        note('R', Hex(chunk, static_cast<std::size_t>(got)));
        for (ssize_t i = 0; i < got; ++i) {
            answerFromNs = ReceivedAt(&line, readNs);
            monitor.OnByte(chunk[i], answerFromNs / 1000000);
        }
        return true;
    };

    // Serve until asked to stop: due answers first, then sleep until the host
    // writes, the next answer byte is due, or the idle wake.
    std::string settings = LineSettings(slave);
    note('L', settings);
    while (stopRequested == 0) {
        // A chattering target keeps the port's buffer full (tens of KiB) and
        // wakes often, so the line never falls quiet for the host however
        // fast it reads, even while the simulator waits for the processor.
        if (monitor.Chattering() && line.answers.size() < kChatterQueued) {
            QueueAnswer(&line, chatter, NowNs());
        }
        const int writing = WriteDueAnswers(&line, master, NowNs());
        int64_t waitNs = monitor.Chattering() ? 1000000 : kIdleWakeNs;
        if (writing == 0 && NextAnswerDue(line) >= 0) {
            waitNs = std::min(waitNs, std::max<int64_t>(0, NextAnswerDue(line) - NowNs()));
        }
        pollfd waiting{master, static_cast<short>(POLLIN | (writing == 1 ? POLLOUT : 0)), 0};
        timespec timeout{static_cast<time_t>(waitNs / 1000000000),
                         static_cast<long>(waitNs % 1000000000)};
        const int ready = ppoll(&waiting, 1, &timeout, nullptr);
        if (ready > 0 && (waiting.revents & POLLIN) != 0) {
            serveChunk();
            if (hungUp) {
                // Both ends closed: the host's descriptor is all that is left
                // of the line, and it reads as hung up from now on.
                close(slave);
                close(master);
                slave = master = -1;
                break;
            }
        } else if (line.answers.empty()) {
            monitor.OnQuiet(NowUs() / 1000);
        }
        // Read after the line's traffic, so it never delays an answer.
        std::string now = LineSettings(slave);
        if (now != settings) {
            settings = now;
            note('L', settings);
        }
    }
    // Bytes the host wrote just before the stop are still waiting: take them
    // in, so a transcript read after the stop holds everything the host sent.
    while (serveChunk()) {
    }

    // Save the memory image and leave.
    if (!options.memoryOut.empty()) {
        std::FILE* out = std::fopen(options.memoryOut.c_str(), "wb");
        if (out == nullptr ||
            std::fwrite(monitor.memory.data(), 1, monitor.memory.size(), out) !=
                monitor.memory.size() ||
            std::fclose(out) != 0) {
            std::perror("targetsim: memory image");
            return 1;
        }
    }
    if (!options.lineStats.empty()) {
        std::FILE* out = std::fopen(options.lineStats.c_str(), "w");
        const int64_t sent = line.bytesSent;
        if (out == nullptr ||
            std::fprintf(out, "answer_bytes %lld\nlate_mean_us %.1f\nlate_max_us %.1f\n",
                         static_cast<long long>(sent),
                         sent > 0 ? static_cast<double>(line.latenessSumNs) / sent / 1000.0 : 0.0,
                         static_cast<double>(line.latenessMaxNs) / 1000.0) < 0 ||
            std::fclose(out) != 0) {
            std::perror("targetsim: line stats");
            return 1;
        }
    }
    if (!options.link.empty()) {
        RemovePortLink(options.link, portPath);
    }
    note('E', "stopped");
    transcript.Close();
    close(slave);
    close(master);
    return 0;
}
