// targetsim: a simulated Z80 target on a pseudo-terminal.
//
// Opens a pseudo-terminal, prints "PORT <path>" on its first output line (and
// links the path to --link when given), then answers the host as the board's
// monitor does until SIGTERM or SIGINT, when it saves its memory image.
// See Usage() for the options, including the faults it can play.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "programs/common/help.h"
#include "target_sim/monitor.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// 11 bits (start, 8 data, 2 stop) at 9600 baud, in microseconds.
constexpr int64_t kCharTimeUs = 11 * 1000000 / 9600;

struct Options {
    SimConfig config;
    std::string link;
    std::string transcript;
    std::string memoryIn;
    std::string memoryOut;
    bool pace = false;
};

int64_t NowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void SleepUntilUs(int64_t when) {
    timespec at{static_cast<time_t>(when / 1000000), static_cast<long>(when % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

void Usage() {
    std::printf(
        "Usage: targetsim [options]\n"
        "A simulated Z80 target on a pseudo-terminal. Prints 'PORT <path>', then\n"
        "answers as the board's monitor until SIGINT or SIGTERM.\n"
        "  --link PATH              also make PATH a symlink to the port\n"
        "  --transcript FILE        log received (R), sent (S) bytes, line settings (L)\n"
        "                           and events (E), one line each with microseconds\n"
        "  --memory-in FILE         load the 64 KiB memory image from FILE\n"
        "  --memory-out FILE        save the memory image to FILE on exit\n"
        "  --pace                   send at the pace of a 9600 8N2 line\n"
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
        "  --drop-echo N            no echo for the Nth echoed character\n");
}

bool ParseNumbered(const char* text, int* number, std::string* value) {
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr) {
        return false;
    }
    *number = std::atoi(text);
    *value = Unescape(equals + 1);
    return *number > 0;
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
        } else if (name == "--prompt") {
            config.prompt = Unescape(value), ++i;
        } else if (name == "--basic-banner") {
            config.basicBanner = Unescape(value), ++i;
        } else if (name == "--basic-ready") {
            config.basicReady = Unescape(value), ++i;
        } else if (name == "--silent-from-record") {
            config.silentFromRecord = std::atoi(value), ++i;
        } else if (name == "--drop-echo") {
            config.echoDrop[std::atoi(value)] = true, ++i;
        } else if (name == "--record-answer" && ParseNumbered(value, &number, &text)) {
            config.recordAnswers[number] = text, ++i;
        } else if (name == "--dump-answer" && ParseNumbered(value, &number, &text)) {
            config.dumpAnswers[number] = text, ++i;
        } else if (name == "--echo" && ParseNumbered(value, &number, &text)) {
            config.echoReplace[number] = text, ++i;
        } else {
            std::fprintf(stderr, "targetsim: bad option: %s %s\n", name.c_str(), value);
            return -1;
        }
    }
    return 0;
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

    std::FILE* transcript = nullptr;
    if (!options.transcript.empty()) {
        transcript = std::fopen(options.transcript.c_str(), "w");
        if (transcript == nullptr) {
            std::perror("targetsim: transcript");
            return 1;
        }
    }
    const int64_t startUs = NowUs();
    auto note = [&](char kind, const std::string& text) {
        if (transcript != nullptr) {
            std::fprintf(transcript, "%c %lld %s\n", kind,
                         static_cast<long long>(NowUs() - startUs), text.c_str());
            std::fflush(transcript);
        }
    };

    auto writeAll = [&](const unsigned char* bytes, std::size_t count) {
        while (count > 0) {
            ssize_t sent = write(master, bytes, count);
            if (sent > 0) {
                bytes += sent;
                count -= static_cast<std::size_t>(sent);
            } else if (sent < 0 && errno == EAGAIN) {
                usleep(1000);
            } else {
                return;
            }
        }
    };
    SimLink link;
    link.send = [&](const std::string& text) {
        if (text.empty()) {
            return;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        note('S', Hex(bytes, text.size()));
        if (!options.pace) {
            writeAll(bytes, text.size());
            return;
        }
        int64_t due = NowUs();
        for (std::size_t i = 0; i < text.size(); ++i) {
            writeAll(bytes + i, 1);
            due += kCharTimeUs;
            SleepUntilUs(due);
        }
    };
    link.splitSend = [&](const std::string& text) {
        for (char c : text) {
            link.send(std::string(1, c));
            usleep(20000);
        }
    };
    link.event = [&](const std::string& text) { note('E', text); };

    Monitor monitor(options.config, link);
    if (!options.memoryIn.empty()) {
        std::FILE* in = std::fopen(options.memoryIn.c_str(), "rb");
        if (in == nullptr) {
            std::perror("targetsim: memory image");
            return 1;
        }
        std::size_t got = std::fread(monitor.memory.data(), 1, monitor.memory.size(), in);
        std::fclose(in);
        note('E', "memory loaded " + std::to_string(got) + " bytes");
    }

    if (!options.link.empty()) {
        unlink(options.link.c_str());
        if (symlink(portPath.c_str(), options.link.c_str()) != 0) {
            std::perror("targetsim: link");
            return 1;
        }
    }
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);

    std::printf("PORT %s\n", portPath.c_str());
    std::fflush(stdout);

    // Reads one chunk from the host and answers it; false when nothing was there.
    auto serveChunk = [&]() {
        unsigned char chunk[512];
        ssize_t got = read(master, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        note('R', Hex(chunk, static_cast<std::size_t>(got)));
        for (ssize_t i = 0; i < got; ++i) {
            monitor.OnByte(chunk[i], NowUs() / 1000);
        }
        return true;
    };

    // Serve until asked to stop.
    std::string settings = LineSettings(slave);
    note('L', settings);
    while (stopRequested == 0) {
        pollfd waiting{master, POLLIN, 0};
        int ready = poll(&waiting, 1, 20);
        std::string now = LineSettings(slave);
        if (now != settings) {
            settings = now;
            note('L', settings);
        }
        if (ready <= 0 || (waiting.revents & POLLIN) == 0) {
            monitor.OnQuiet(NowUs() / 1000);
            continue;
        }
        serveChunk();
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
    if (!options.link.empty()) {
        unlink(options.link.c_str());
    }
    note('E', "stopped");
    if (transcript != nullptr) {
        std::fclose(transcript);
    }
    close(slave);
    close(master);
    return 0;
}
