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

struct ProgramHelp {
    const char* program;
    const char* text;  // the usage line and everything up to the version line
};

const ProgramHelp kProgramHelp[] = {
    {"Torvanex",
     "Usage: Torvanex {filename} {port}\n"
     "Loads an Intel HEX file into the Z80 target's monitor, record by record,\n"
     "over a 9600 baud 8N2 serial line, and shows the target's verdict on each.\n"
     "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
     "  port      the serial device, /dev/ttyUSB0 when left out\n"
     "Exit status:\n"
     "   0  done, every record accepted\n"
     "   1  too few arguments, or a file name or port path over 79 characters\n"
     "   2  the file cannot be opened or read, or is not a sound HEX file\n"
     "   3  the port cannot be opened, or no answer to the wake-up (or the port\n"
     "      lost then)\n"
     "   4  no verdict for a record: silence, the port lost, or only other bytes\n"
     "   5  done, but the target refused one or more records\n" STOPPED_STATUSES},
    {"Torvane",
     "Usage: Torvane {filename} {port}\n"
     "Loads an Intel HEX file into the Z80 target's monitor, each record in one\n"
     "write, and ends the upload with \"!\". The line runs at 9600 baud 8N2.\n"
     "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
     "  port      " COM_PORT_ABOUT "Exit status:\n"
     "   0  done, every record accepted\n"
     "   1  too few arguments, a file name over 79 characters, or a port that\n"
     "      does not fit a port name\n" FAILED_STATUS
     "  the file cannot be opened or read, or is not a sound HEX file\n"
     "   2  the port cannot be opened\n"
     "   3  no answer to the wake-up (or the port lost, or a line that never\n"
     "      fell quiet, then)\n"
     "   4  no answer after a record (the same)\n"
     "   5  done, but one or more records were not accepted\n" STOPPED_STATUSES},
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

}  // namespace

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
    for (const ProgramHelp& help : kProgramHelp) {
        if (std::strcmp(help.program, program) == 0) {
            std::fputs(help.text, stdout);
            PrintVersion(program);
            return 1;
        }
    }
    return 0;
}
