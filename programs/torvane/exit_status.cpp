#include "programs/torvane/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order. A stop (Ctrl-C, SIGTERM, and
// SIGHUP where there is one) ends every stage with 128 + the signal's number.
constexpr ExitStatusRow kRows[] = {
    {0,
     {{{Stage::kFinish, Of(Outcome::kDone)}}},
     "done, every record accepted",
     "Done, every record accepted.",
     "done, every record accepted"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "too few arguments, a file name over 79 characters, or a port that\n"
     "does not fit a port name",
     "Too few arguments, a file name longer than 79 characters, or a port argument "
     "that does not fit a port name (five or more digits).",
     "the same"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)},
       {Stage::kRecords, Of(Outcome::kFileError)},
       {Stage::kFinish, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, or is not a sound HEX file",
     "The file cannot be opened or read, or is not a sound HEX file (nothing is sent).",
     "the file cannot be read or is not a sound HEX file (nothing sent)"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}}},
     "the port cannot be opened",
     "The port cannot be opened (the message gives the system's error number).",
     "the port cannot be opened"},
    {3,
     {{{Stage::kHandshake, kWaitFailures}}},
     "no answer to the wake-up (or the port lost, or a line that never\n"
     "fell quiet, then)",
     "No answer to the wake-up, or the port lost or a line that never fell quiet then.",
     "no answer to the wake-up"},
    {4,
     {{{Stage::kRecords, kWaitFailures}, {Stage::kFinish, Of(Outcome::kPortLost)}}},
     "no answer after a record (the same)",
     "No answer after a record, the port lost, or a line that never fell quiet; no ! is "
     "sent.",
     "no answer after a record (no \"!\" sent)"},
    {5,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "done, but one or more records were not accepted",
     "Done and ! sent, but one or more records were not accepted.",
     "done, but records were not accepted"},
    {kStoppedBySignal,
     {},
     nullptr,
     "Stopped by Ctrl-C (SIGINT); 143 for SIGTERM, 129 for SIGHUP (the terminal "
     "closed). The run stops between records (the record sent gets its verdict first, "
     "and no \"!\" is sent), then ends through its own exits, the file and then the "
     "port closed. A second Ctrl-C ends it at once.",
     "the same; no \"!\""},
};

}  // namespace

const ExitStatusTable kTorvaneStatuses = {kRows, std::size(kRows)};

const ProgramHelp kTorvaneHelp = {
    "Torvane",
    "Usage: Torvane {filename} {port}\n"
    "Loads an Intel HEX file into the Z80 target's monitor, each record in one\n"
    "write, and ends the upload with \"!\". The line runs at 9600 baud 8N2.\n"
    "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
    "  port      ",
    true,
    {kRows, std::size(kRows)},
};
