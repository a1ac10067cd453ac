#include "programs/common/help.h"

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

// The help of a program whose statuses are still written in its text.
struct ProgramHelpText {
    const char* program;
    const char* text;  // the usage line and everything up to the version line
};

const ProgramHelpText kProgramHelp[] = {
    {"Quilmark",
     "Usage: Quilmark {start address} {end address} {filename} {com port}\n"
     "       Quilmark --verify {filename} {com port}\n"
     "Saves the Z80 target's memory from the start address up to the end address,\n"
     "16 bytes per record, as an Intel HEX file the uploaders load back. The line\n"
     "runs at 9600 baud 8N2.\n"
     "With --verify, reads back every data byte of an Intel HEX file and says\n"
     "whether the target holds the file; load a program, then verify it.\n"
     "  start address, end address  one to four hex digits, either case\n"
     "  filename  the HEX file to write; an existing file is replaced only\n"
     "            once records were saved. With --verify, the HEX file to\n"
     "            compare, checked whole first\n"
     "  com port  " COM_PORT_ABOUT "Exit status:\n"
     "   0  done; with --verify, the target holds every data byte of the file\n"
     "   1  bad or missing arguments (nothing is created)\n" FAILED_STATUS
     "  the file cannot be created; with --verify, it cannot be opened or\n"
     "      read, or is not a sound HEX file\n"
     "   2  the port cannot be opened\n"
     "   3  no answer to the wake-up (or the port lost, or a line that never\n"
     "      fell quiet, then)\n"
     "   4  the target fell silent during a request, or the port was lost\n"
     "   5  the target's answers were not sound, or it never fell quiet\n"
     "   6  the file could not be written or closed\n"
     "   7  with --verify, one or more bytes differ from the file\n" STOPPED_STATUSES},
    {"Ferrolt",
     "Usage: Ferrolt {filename} {port}\n"
     "Starts the Z80 target's BASIC and types a program text into it, checking\n"
     "the echo of every character. The line runs at 9600 baud 8N2.\n"
     "  filename  the program text: no NUL bytes, lines of at most 79 characters\n"
     "  port      " COM_PORT_ABOUT "Exit status:\n"
     "   0  done\n"
     "   1  no file argument, or a file or port argument too long\n" FAILED_STATUS
     "  the file cannot be opened or read, or holds a NUL byte or a line\n"
     "      over 79 characters\n"
     "   2  the port cannot be opened\n"
     "   3  no answer while waiting for \"$$$\", \"top?\" or \"Ok\", no echo for\n"
     "      8 characters in a row, or the port lost\n"
     "   4  an echo that differs from the character sent, or a target that\n"
     "      never falls quiet while the program is typed\n" STOPPED_STATUSES},
};

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

int AnswerHelpOrVersion(int argc, char* argv[], const char* program) {
    if (argc != 2) {
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        PrintVersion(program);
        return 1;
    }
    if (std::strcmp(argv[1], "--help") != 0) {
        return 0;
    }
    for (const ProgramHelpText& help : kProgramHelp) {
        if (std::strcmp(help.program, program) == 0) {
            std::fputs(help.text, stdout);
            PrintVersion(program);
            return 1;
        }
    }
    return 0;
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
