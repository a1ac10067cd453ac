#include "programs/torvanex/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order.
constexpr ExitStatusRow kRows[] = {
    {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done, every record accepted"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "too few arguments, a bad option value, --terminal without a terminal,\n"
     "or a file name or port path over 79 characters"},
    {2,
     {{{Stage::kFile, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, is over 1 MiB, or is not a sound HEX\n"
     "file (with --load-address: a bad address, an empty file, or bytes past\n"
     "FFFF); nothing is sent"},
    {3,
     {{{Stage::kPort, Of(Outcome::kNoPort)},
       {Stage::kHandshake, kWaitFailures},
       {Stage::kAfterJob, Of(Outcome::kPortLost)}}},
     "the port cannot be opened, or no answer to the wake-up or one without\n"
     "\"$$$\" (or the port lost then), or the port lost after the job"},
    {4,
     {{{Stage::kRecords, kWaitFailures}}},
     "no verdict for a record: eight waits of 5 s in silence, the port lost,\n"
     "or 1024 other bytes; the upload stops there"},
    {5,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "done, but the target refused one or more records"},
    {8,
     {{{Stage::kAfterJob, Of(Outcome::kNotSeen)}}},
     "with --expect, its text did not come within the --timeout"},
    {kStoppedBySignal, {}, nullptr},
};

}  // namespace

const ExitStatusTable kTorvanexStatuses = {kRows, std::size(kRows)};

const ProgramHelp kTorvanexHelp = {
    "Torvanex",
    "Usage: Torvanex [--retry N] [--from-line N] [--load-address HHHH] {filename} {port}\n"
    "Loads an Intel HEX file into the Z80 target's monitor, record by record,\n"
    "over a 9600 baud 8N2 serial line, and shows the target's verdict on each.\n"
    "  --retry N      send a refused record again, up to N (0 to 9) more times\n"
    "  --from-line N  start with the record on line N of the file, after the\n"
    "                 extended address in force there; an upload cut short\n"
    "                 names the line to continue from\n"
    "  --load-address HHHH  the file is a plain binary, loaded from address HHHH\n"
    "                 (four hex digits) as 16-byte records\n"
    "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
    "  port      the serial device, /dev/ttyUSB0 when left out, or tcp://HOST:PORT\n"
    "            or rfc2217://HOST:PORT for a network serial server\n",
    false,
    {kRows, std::size(kRows)},
};
