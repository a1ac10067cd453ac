#include "target_sim/options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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

// The options that take no value. Returns true when `name` is one (and
// has been applied to `options`).
bool ParseSwitch(const std::string& name, Options* options) {
    SimConfig& config = options->config;
    if (name == "--pace") {
        options->pace = true;
        return true;
    }
    if (name == "--cpu") {
        options->cpu = true;
        return true;
    }
    if (name == "--silent-wake") {
        config.silentWake = true;
    } else if (name == "--split-prompt") {
        config.splitPrompt = true;
    } else if (name == "--silent-basic-start") {
        config.silentBasicStart = true;
    } else if (name == "--silent-basic-ready") {
        config.silentBasicReady = true;
    } else {
        return false;
    }
    options->monitorOnly.push_back(name);
    return true;
}

// The options that take `value` and work in both modes. Returns true when
// `name` is one and `value` suits it (and has been applied to `options`).
bool ParseCommonValued(const std::string& name, const char* value, Options* options) {
    int number = 0;
    if (name == "--link") {
        options->link = value;
    } else if (name == "--transcript") {
        options->transcript = value;
    } else if (name == "--memory-in") {
        options->memoryIn = value;
    } else if (name == "--memory-out") {
        options->memoryOut = value;
    } else if (name == "--line-stats") {
        options->lineStats = value;
    } else if (name == "--latency" && ParsePositive(value, &number) && number <= 10000) {
        options->latencyMs = number;
    } else if (name == "--rom" && value[0] != '\0') {
        options->rom = value;
        options->cpu = true;
    } else if (name == "--receive-gap" && ParsePositive(value, &number) && number <= 100000) {
        options->receiveGap = number;
    } else {
        return false;
    }
    return true;
}

// The options that take `value`. Returns true when `name` is one and
// `value` suits it (and has been applied to `options`).
bool ParseValued(const std::string& name, const char* value, Options* options) {
    SimConfig& config = options->config;
    int number = 0;
    std::string text;
    if (ParseCommonValued(name, value, options)) {
        return true;
    }
    if (name == "--prompt") {
        config.prompt = Unescape(value);
    } else if (name == "--basic-banner") {
        config.basicBanner = Unescape(value);
    } else if (name == "--basic-ready") {
        config.basicReady = Unescape(value);
    } else if (name == "--silent-from-record" && ParsePositive(value, &number)) {
        config.silentFromRecord = number;
    } else if (name == "--hang-up-at" && ValidFaultPoint(value)) {
        config.hangUpAt = value;
    } else if (name == "--chatter-at" && ValidFaultPoint(value)) {
        config.chatterAt = value;
    } else if (name == "--chatter-text" && value[0] != '\0') {
        config.chatterText = Unescape(value);
    } else if (name == "--drop-echo" && ParsePositive(value, &number)) {
        config.echoDrop[number] = true;
    } else if (name == "--record-answer" && ParseNumbered(value, &number, &text)) {
        config.recordAnswers[number] = text;
    } else if (name == "--dump-answer" && ParseNumbered(value, &number, &text)) {
        config.dumpAnswers[number] = text;
    } else if (name == "--echo" && ParseNumbered(value, &number, &text)) {
        config.echoReplace[number] = text;
    } else {
        return false;
    }
    options->monitorOnly.push_back(name);
    return true;
}

// With the emulated board, the firmware in its ROM answers: the monitor's
// texts and faults have nothing to act on, and the test's receive gap needs
// the board. Returns 0, or -1 after naming each option that does not fit.
int CheckMode(const Options& options) {
    int status = 0;
    if (options.cpu) {
        for (const std::string& name : options.monitorOnly) {
            std::fprintf(stderr,
                         "targetsim: %s sets how the built-in monitor answers; with --cpu the "
                         "firmware in the board's ROM answers, so it cannot be used\n",
                         name.c_str());
            status = -1;
        }
    } else if (options.receiveGap > 0) {
        std::fprintf(stderr, "targetsim: --receive-gap times the board's UART: it needs --cpu\n");
        status = -1;
    }
#ifndef TARGETSIM_CPU
    if (options.cpu) {
        std::fprintf(stderr,
                     "targetsim: this build has no emulated board (it was built without "
                     "libz80ex): --cpu and --rom are not available\n");
        status = -1;
    }
#endif
    return status;
}

}  // namespace

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
        "  --latency MS             hold answers back by up to MS ms (1..10000), as a\n"
        "                           USB adapter's latency timer or a network does\n"
        "  --cpu                    run the emulated board instead: a Z80 at 7.3728 MHz\n"
        "                           running the monitor firmware in its ROM (0000-1FFF,\n"
        "                           RAM above), its UART at ports 80h/81h; the options\n"
        "                           below it, the built-in monitor's, do not apply\n"
        "  --rom FILE               with the board, run the ROM image FILE (up to 8 KiB;\n"
        "                           implies --cpu)\n"
        "  --receive-gap CYCLES     (tests) bytes from the host enter the board's UART\n"
        "                           CYCLES apart instead of one character time (8448)\n"
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

int ParseOptions(int argc, char* argv[], Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (ParseSwitch(name, options)) {
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "targetsim: unknown option or missing value: %s\n", name.c_str());
            return -1;
        }
        const char* value = argv[++i];
        if (!ParseValued(name, value, options)) {
            std::fprintf(stderr, "targetsim: bad option or value: %s %s\n", name.c_str(), value);
            return -1;
        }
    }
    if (CheckMode(*options) != 0) {
        return -1;
    }
    for (const std::string* path : {&options->memoryOut, &options->lineStats}) {
        if (!path->empty() && !WritableLater(*path)) {
            std::fprintf(stderr, "targetsim: %s: not a file that can be written\n", path->c_str());
            return -1;
        }
    }
    return 0;
}
