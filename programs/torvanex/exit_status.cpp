#include "programs/torvanex/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order. A stop (Ctrl-C, SIGTERM, SIGHUP)
// ends every stage with 128 + the signal's number.
constexpr ExitStatusRow kRows[] = {
    {0,
     {{{Stage::kFinish, Of(Outcome::kDone)}}},
     "done, every record accepted",
     "Done, every record accepted.",
     "done, every record accepted"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "too few arguments, or a file name or port path over 79 characters",
     "Too few arguments, or a file name or port path longer than 79 characters.",
     "bad arguments: too few, or too long"},
    {2,
     {{{Stage::kFile, Of(Outcome::kFileError)},
       {Stage::kRecords, Of(Outcome::kFileError)},
       {Stage::kFinish, Of(Outcome::kFileError)}}},
     "the file cannot be opened or read, or is not a sound HEX file",
     "The file cannot be opened or read, or is not a sound HEX file (nothing is sent).",
     "the file cannot be read or is not a sound HEX file (nothing sent)"},
    {3,
     {{{Stage::kPort, Of(Outcome::kNoPort)}, {Stage::kHandshake, kWaitFailures}}},
     "the port cannot be opened, or no answer to the wake-up (or the port\n"
     "lost then)",
     "The port cannot be opened (the message gives the system's error number, for "
     "example 2 for a device that is not there, 13 for no permission, 16 when another "
     "program has the port), or the target did not answer the wake-up, or the port "
     "was lost then.",
     "the port cannot be opened, or no answer to the wake-up"},
    {4,
     {{{Stage::kRecords, kWaitFailures}}},
     "no verdict for a record: silence, the port lost, or only other bytes",
     "No verdict for a record: eight waits of 5 s in silence, the port lost (the "
     "adapter unplugged), or 1024 other bytes without a verdict. The upload stops "
     "there.",
     "no verdict for a record"},
    {5,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "done, but the target refused one or more records",
     "Done, but the target refused one or more records.",
     "done, but records were refused (a line says how many)"},
    {kStoppedBySignal,
     {},
     nullptr,
     "Stopped by Ctrl-C (SIGINT); 143 for SIGTERM, 129 for SIGHUP (the terminal "
     "closed). The run stops between records (the record being typed is finished and "
     "its verdict awaited first), then ends through its own exits, the file and then "
     "the port closed. A second Ctrl-C ends it at once.",
     "stopped by Ctrl-C (SIGINT), SIGTERM or SIGHUP (the terminal closed), between "
     "records, file and port closed; a second Ctrl-C stops at once"},
};

}  // namespace

const ExitStatusTable kTorvanexStatuses = {kRows, std::size(kRows)};

const ProgramHelp kTorvanexHelp = {
    "Torvanex",
    "Usage: Torvanex {filename} {port}\n"
    "Loads an Intel HEX file into the Z80 target's monitor, record by record,\n"
    "over a 9600 baud 8N2 serial line, and shows the target's verdict on each.\n"
    "  filename  the Intel HEX file; it is checked whole before anything is sent\n"
    "  port      the serial device, /dev/ttyUSB0 when left out\n",
    false,
    {kRows, std::size(kRows)},
};
