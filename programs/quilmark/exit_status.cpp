#include "programs/quilmark/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order. The save and the verify share
// the stages up to the handshake; both read memory in Stage::kRequests (only
// the save writes a file there), and a verify that finds a byte differing
// finishes with Outcome::kBadAnswer.
constexpr ExitStatusRow kRows[] = {
    {0,
     {{{Stage::kFinish, Of(Outcome::kDone)}}},
     "done; with --verify, the target holds every data byte of the file"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "bad or missing arguments: too few, an address not of one to four hex\n"
     "digits, a bad option value, --terminal without a terminal, a file name\n"
     "over 79 characters or a port that does not fit a port name; nothing is\n"
     "created"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)}}},
     "the file cannot be created; with --verify, it cannot be opened or\n"
     "read, is over 1 MiB, or is not a sound HEX file (with --load-address:\n"
     "a bad address, an empty file, or bytes past FFFF)"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}, {Stage::kAfterJob, Of(Outcome::kPortLost)}}},
     "the port cannot be opened (the message gives the system's error\n"
     "number), or the port lost after the job"},
    {3,
     {{{Stage::kHandshake, kWaitFailures}}},
     "no answer to the wake-up, or one without \"$$$\" (or the port lost,\n"
     "or a line that never fell quiet, then)"},
    {4,
     {{{Stage::kRequests, Of(Outcome::kSilent) | Of(Outcome::kPortLost)}}},
     "the target fell silent during a request (three tries), or the port\n"
     "was lost"},
    {5,
     {{{Stage::kRequests, Of(Outcome::kBadAnswer) | Of(Outcome::kChatter)}}},
     "the target's answers were not sound (three tries), or it never fell\n"
     "quiet"},
    {6,
     {{{Stage::kRequests, Of(Outcome::kFileError)}, {Stage::kFinish, Of(Outcome::kFileError)}}},
     "the file could not be written or closed"},
    {7,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "with --verify, one or more bytes differ from the file"},
    {8,
     {{{Stage::kAfterJob, Of(Outcome::kNotSeen)}}},
     "with --expect, its text did not come within the --timeout"},
    {kStoppedBySignal, {}, nullptr},
};

}  // namespace

const ExitStatusTable kQuilmarkStatuses = {kRows, std::size(kRows)};

const ProgramHelp kQuilmarkHelp = {
    "Quilmark",
    "Usage: Quilmark {start address} {end address} {filename} {com port}\n"
    "       Quilmark --verify [--load-address HHHH] {filename} {com port}\n"
    "Saves the Z80 target's memory from the start address up to the end address,\n"
    "16 bytes per record, as an Intel HEX file the uploaders load back. The line\n"
    "runs at 9600 baud 8N2.\n"
    "With --verify, reads back every data byte of an Intel HEX file and says\n"
    "whether the target holds the file; load a program, then verify it.\n"
    "  start address, end address  one to four hex digits, either case\n"
    "  filename  the HEX file to write; an existing file is replaced only\n"
    "            once records were saved. With --verify, the HEX file to\n"
    "            compare, checked whole first; with --load-address HHHH,\n"
    "            a plain binary compared from address HHHH (four hex digits)\n"
    "  com port  ",
    true,
    {kRows, std::size(kRows)},
};
