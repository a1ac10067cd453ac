#include "guidance/help.h"

#include <cstdio>
#include <cstring>

// The build passes the project's version; a build without it still says so.
#ifndef Z80_TOOLS_VERSION
#define Z80_TOOLS_VERSION "unknown"
#endif

const char* const kToolsVersion = Z80_TOOLS_VERSION;

namespace {

// What the port argument of the COM port programs means (the text after its
// label) and how a status of -1 shows differ between the Windows build and the
// POSIX build.
#ifdef _WIN32
#define COM_PORT_ABOUT                                       \
    "a COM port number: 3 opens COM3, 12 opens //./COM12;\n" \
    "            //./COM10 when left out\n"
#define FAILED_STATUS "  -1"
#define HANG_UP_STATUS ""
#else
#define COM_PORT_ABOUT                                                       \
    "a COM port number (3 opens COM3, here /dev/ttyS2) or a\n"               \
    "            device path such as /dev/ttyUSB0; //./COM10 (/dev/ttyS9)\n" \
    "            when left out\n"
#define FAILED_STATUS " 255"
#define HANG_UP_STATUS " 129  stopped by SIGHUP (the terminal closed)\n"
#endif

// Every program ends through its own exits on Ctrl-C and SIGTERM, and on
// POSIX hosts on SIGHUP.
#define STOPPED_STATUSES                 \
    " 130  stopped by Ctrl-C (SIGINT)\n" \
    " 143  stopped by SIGTERM\n" HANG_UP_STATUS

// Prints one status line of the help: the number (or the host's text for
// -1), two spaces, then `text` with each later line indented under the first.
void PrintStatusLine(int status, const char* text) {
    if (status == -1) {
        std::fputs(FAILED_STATUS, stdout);
    } else {
        std::printf("%4d", status);
    }
    std::fputs("  ", stdout);
    for (const char* c = text; *c != '\0'; ++c) {
        std::putchar(*c);
        if (*c == '\n') {
            std::fputs("      ", stdout);
        }
    }
    std::putchar('\n');
}

}  // namespace

void PrintHelp(const ProgramHelp& help) {
    std::fputs(help.about, stdout);
    if (help.comPortLast) {
        std::fputs(COM_PORT_ABOUT, stdout);
    }
    std::fputs("Exit status:\n", stdout);
    for (std::size_t i = 0; i < help.statuses.count; ++i) {
        const ExitStatusRow& row = help.statuses.rows[i];
        if (row.status == kStoppedBySignal) {
            std::fputs(STOPPED_STATUSES, stdout);
        } else {
            PrintStatusLine(row.status, row.help);
        }
    }
}

void PrintVersion(const char* program) {
    std::printf("%s %s\n", program, kToolsVersion);
    std::fflush(stdout);
}

int AnswerHelpOrVersion(int argc, char* argv[], const ProgramHelp& help) {
    if (argc != 2) {
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        PrintVersion(help.program);
        return 1;
    }
    if (std::strcmp(argv[1], "--help") != 0) {
        return 0;
    }
    PrintHelp(help);
    PrintVersion(help.program);
    return 1;
}
