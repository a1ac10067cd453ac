#include "programs/ferrolt/exit_status.h"

#include <iterator>

namespace {

// The ways a wait for an echo fails that count as no answer: a target that
// keeps talking instead counts with a wrong echo.
constexpr OutcomeSet kNoEcho = Of(Outcome::kSilent) | Of(Outcome::kPortLost);

// One row per status, in the help's order.
constexpr ExitStatusRow kRows[] = {
    {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "no file argument, a file or port argument too long, a bad option\n"
     "value, or --terminal without a terminal"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, is over 1 MiB, or holds a NUL byte,\n"
     "a CR alone or a line over 79 characters; nothing is sent"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}, {Stage::kAfterJob, Of(Outcome::kPortLost)}}},
     "the port cannot be opened (the message gives the system's error\n"
     "number), or the port lost after the job"},
    {3,
     {{{Stage::kHandshake, kWaitFailures},
       {Stage::kBasicStart, kWaitFailures},
       {Stage::kTyping, kNoEcho},
       {Stage::kFinish, Of(Outcome::kPortLost)}}},
     "no answer, or one without it, while waiting for \"$$$\", \"top?\" or\n"
     "\"Ok\", no echo for 8 characters in a row, or the port lost"},
    {4,
     {{{Stage::kTyping, Of(Outcome::kBadAnswer) | Of(Outcome::kChatter)}}},
     "an echo that differs from the character sent, or a target that\n"
     "never falls quiet while the program is typed"},
    {8,
     {{{Stage::kAfterJob, Of(Outcome::kNotSeen)}}},
     "with --expect, its text did not come within the --timeout"},
    {kStoppedBySignal, {}, nullptr},
};

}  // namespace

const ExitStatusTable kFerroltStatuses = {kRows, std::size(kRows)};

const ProgramHelp kFerroltHelp = {
    "Ferrolt",
    "Usage: Ferrolt [--run] {filename} {port}\n"
    "Starts the Z80 target's BASIC and types a program text into it, checking\n"
    "the echo of every character. The line runs at 9600 baud 8N2.\n"
    "  --run     start the program once typed: RUN and a CR, as --send 'RUN\\r'\n"
    "  filename  the program text: no NUL bytes, lines of at most 79 characters\n"
    "  port      ",
    true,
    {kRows, std::size(kRows)},
};
