#include "programs/ferrolt/exit_status.h"

#include <iterator>

namespace {

// The ways a wait for an echo fails that count as no answer: a target that
// keeps talking instead counts with a wrong echo.
constexpr OutcomeSet kNoEcho = Of(Outcome::kSilent) | Of(Outcome::kPortLost);

// One row per status, in the help's order. A stop (Ctrl-C, SIGTERM, SIGHUP)
// ends every stage with 128 + the signal's number.
constexpr ExitStatusRow kRows[] = {
    {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done", "Done.", "done"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "no file argument, or a file or port argument too long",
     "No file argument, or a file or port argument too long.",
     "the same"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)},
       {Stage::kTyping, Of(Outcome::kFileError)},
       {Stage::kFinish, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, or holds a NUL byte or a line\n"
     "over 79 characters",
     "The file cannot be opened or read, or holds a NUL byte or a line over 79 "
     "characters.",
     "the file cannot be read, or holds a NUL or a line over 79 characters"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}}},
     "the port cannot be opened",
     "The port cannot be opened (the message gives the system's error number).",
     "the port cannot be opened"},
    {3,
     {{{Stage::kHandshake, kWaitFailures},
       {Stage::kBasicStart, kWaitFailures},
       {Stage::kTyping, kNoEcho},
       {Stage::kFinish, Of(Outcome::kPortLost)}}},
     "no answer while waiting for \"$$$\", \"top?\" or \"Ok\", no echo for\n"
     "8 characters in a row, or the port lost",
     "No answer while waiting for $$$, top? or Ok, no echo for 8 characters in a "
     "row, or the port lost.",
     "no \"$$$\", \"top?\" or \"Ok\", or 8 echoes missing in a row"},
    {4,
     {{{Stage::kTyping, Of(Outcome::kBadAnswer) | Of(Outcome::kChatter)}}},
     "an echo that differs from the character sent, or a target that\n"
     "never falls quiet while the program is typed",
     "An echo that differs from the character sent, or a target that never falls "
     "quiet while the program is typed.",
     "a wrong echo"},
    {kStoppedBySignal,
     {},
     nullptr,
     "Stopped by Ctrl-C (SIGINT); 143 for SIGTERM, 129 for SIGHUP (the terminal "
     "closed). The run stops between records (the piece being typed is finished to "
     "its CR first, and nothing is sent after a stop while BASIC starts), then ends "
     "through its own exits, the file and then the port closed. A second Ctrl-C "
     "ends it at once.",
     "the same"},
};

}  // namespace

const ExitStatusTable kFerroltStatuses = {kRows, std::size(kRows)};

const ProgramHelp kFerroltHelp = {
    "Ferrolt",
    "Usage: Ferrolt {filename} {port}\n"
    "Starts the Z80 target's BASIC and types a program text into it, checking\n"
    "the echo of every character. The line runs at 9600 baud 8N2.\n"
    "  filename  the program text: no NUL bytes, lines of at most 79 characters\n"
    "  port      ",
    true,
    {kRows, std::size(kRows)},
};
