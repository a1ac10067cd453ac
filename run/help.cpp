#include "run/help.h"

#include <cstdio>
#include <cstring>

#include "host/console.h"
#include "host/port_facts.h"
#include "host/stop_signal.h"

// The build passes the project's version; a build without it still says so.
#ifndef Z80_TOOLS_VERSION
#define Z80_TOOLS_VERSION "unknown"
#endif

const char* const kToolsVersion = Z80_TOOLS_VERSION;

namespace {

// One status line: the number as the host shows it, two spaces, then `text`
// with each later line indented under the first.
void PrintStatusLine(int status, const char* text) {
    std::printf("%4d  ", status == -1 ? kFailedStatusShown : status);
    for (const char* c = text; *c != '\0'; ++c) {
        std::putchar(*c);
        if (*c == '\n') {
            std::fputs("      ", stdout);
        }
    }
    std::putchar('\n');
}

// What every program does after its job, when asked.
constexpr const char* kAfterJobAbout =
    "After the job, when it ended well (these options may stand anywhere):\n"
    "  --send TEXT    send TEXT to the board, with the escapes \\r \\n \\t \\\\\n"
    "                 and \\xHH; may be given more than once, sent in order\n"
    "  --expect TEXT  then show what the board sends until TEXT has come\n"
    "  --timeout S    give --expect S seconds (1 to 3600; 10 when left out)\n"
    "  --terminal     then hand the console to the board until Ctrl-]\n";

}  // namespace

void PrintHelp(const ProgramHelp& help) {
    std::fputs(help.about, stdout);
    if (help.comPortLast) {
        std::fputs(kComPortAbout, stdout);
    }
    std::fputs(kAfterJobAbout, stdout);
    std::fputs("Exit status:\n", stdout);
    for (std::size_t i = 0; i < help.statuses.count; ++i) {
        const ExitStatusRow& row = help.statuses.rows[i];
        if (row.status != kStoppedBySignal) {
            PrintStatusLine(row.status, row.text);
            continue;
        }
        for (std::size_t s = 0; s < kStopSignalCount; ++s) {
            PrintStatusLine(StopStatus(kStopSignals[s].number), kStopSignals[s].text);
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
    // Where "/?" is how help is asked for, it is the same as --help.
    const bool slashQuestion = kSlashQuestionAsksHelp && std::strcmp(argv[1], "/?") == 0;
    if (std::strcmp(argv[1], "--help") != 0 && !slashQuestion) {
        return 0;
    }
    PrintHelp(help);
    PrintVersion(help.program);
    return 1;
}
