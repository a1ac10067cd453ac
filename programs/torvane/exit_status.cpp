#include "programs/torvane/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order.
constexpr ExitStatusRow kRows[] = {
    {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done, every record accepted"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "too few arguments, a bad option value, --terminal without a terminal,\n"
     "a file name over 79 characters, or a port that does not fit a port name"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, is over 1 MiB, or is not a sound HEX\n"
     "file (with --load-address: a bad address, an empty file, or bytes past\n"
     "FFFF); nothing is sent"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}, {Stage::kAfterJob, Of(Outcome::kPortLost)}}},
     "the port cannot be opened (the message gives the system's error\n"
     "number), or the port lost after the job"},
    {3,
     {{{Stage::kHandshake, kWaitFailures}}},
     "no answer to the wake-up, or one without \"$$$\" (or the port lost,\n"
     "or a line that never fell quiet, then)"},
    {4,
     {{{Stage::kRecords, kWaitFailures}, {Stage::kFinish, Of(Outcome::kPortLost)}}},
     "no answer after a record (or the port lost, or a line that never fell\n"
     "quiet); no \"!\" is sent"},
    {5,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "done and \"!\" sent, but one or more records were not accepted"},
    {8,
     {{{Stage::kAfterJob, Of(Outcome::kNotSeen)}}},
     "with --expect, its text did not come within the --timeout"},
    {kStoppedBySignal, {}, nullptr},
};

}  // namespace

const ExitStatusTable kTorvaneStatuses = {kRows, std::size(kRows)};

const ProgramHelp kTorvaneHelp = {
    "Torvane",
    "Usage: Torvane [--retry N] [--from-line N] [--load-address HHHH] {filename} {port}\n"
    "Loads an Intel HEX file into the Z80 target's monitor, each record in one\n"
    "write, and ends the upload with \"!\". The line runs at 9600 baud 8N2.\n"
    "  --retry N      send a refused record again, up to N (0 to 9) more times\n"
    "  --from-line N  start with the record on line N of the file, after the\n"
    "                 extended address in force there; an upload cut short\n"
    "                 names the line to continue from\n"
    "  --load-address HHHH  the file is a plain binary, loaded from address HHHH\n"
    "                 (four hex digits) as 16-byte records\n"
    "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
    "  port      ",
    true,
    {kRows, std::size(kRows)},
};
