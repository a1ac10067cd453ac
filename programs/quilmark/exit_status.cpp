#include "programs/quilmark/exit_status.h"

#include <iterator>

namespace {

// One row per status, in the help's order. The save and the verify share
// the stages up to the handshake; both read memory in Stage::kRequests (only
// the save writes a file there), and a verify that finds a byte differing
// finishes with Outcome::kBadAnswer. A stop (Ctrl-C, SIGTERM, SIGHUP) ends
// every stage with 128 + the signal's number.
constexpr ExitStatusRow kRows[] = {
    {0,
     {{{Stage::kFinish, Of(Outcome::kDone)}}},
     "done; with --verify, the target holds every data byte of the file",
     "Done; with --verify, the board holds every data byte of the file.",
     "done; `--verify`: the target holds every byte of the file"},
    {1,
     {{{Stage::kArguments, Of(Outcome::kBadArguments)}}},
     "bad or missing arguments (nothing is created)",
     "Bad or missing arguments: fewer than three (with --verify, no file name), an "
     "address that is not one to four hex digits, a file name longer than 79 "
     "characters, or a port argument that does not fit a port name (nothing is "
     "created).",
     "bad or missing arguments (nothing created)"},
    {-1,
     {{{Stage::kFile, Of(Outcome::kFileError)}}},
     "the file cannot be created; with --verify, it cannot be opened or\n"
     "read, or is not a sound HEX file",
     "The file cannot be created; with --verify, it cannot be opened or read, or is "
     "not a sound HEX file.",
     "the file cannot be created; `--verify`: the file cannot be read or is not a "
     "sound HEX file"},
    {2,
     {{{Stage::kPort, Of(Outcome::kNoPort)}}},
     "the port cannot be opened",
     "The port cannot be opened (the message gives the system's error number).",
     "the port cannot be opened"},
    {3,
     {{{Stage::kHandshake, kWaitFailures}}},
     "no answer to the wake-up (or the port lost, or a line that never\n"
     "fell quiet, then)",
     "No answer to the wake-up, or the port lost or a line that never fell quiet "
     "then.",
     "no answer to the wake-up"},
    {4,
     {{{Stage::kRequests, Of(Outcome::kSilent) | Of(Outcome::kPortLost)}}},
     "the target fell silent during a request, or the port was lost",
     "The target fell silent during a request (three tries), or the port was lost.",
     "the target fell silent during a request"},
    {5,
     {{{Stage::kRequests, Of(Outcome::kBadAnswer) | Of(Outcome::kChatter)}}},
     "the target's answers were not sound, or it never fell quiet",
     "The target's answers were not sound (three tries), or it never fell quiet.",
     "the target's answers were not sound"},
    {6,
     {{{Stage::kRequests, Of(Outcome::kFileError)}, {Stage::kFinish, Of(Outcome::kFileError)}}},
     "the file could not be written or closed",
     "The file could not be written or closed.",
     "the file could not be written or closed"},
    {7,
     {{{Stage::kFinish, Of(Outcome::kBadAnswer)}}},
     "with --verify, one or more bytes differ from the file",
     "With --verify: one or more bytes differ from the file.",
     "`--verify`: one or more bytes differ from the file"},
    {kStoppedBySignal,
     {},
     nullptr,
     "Stopped by Ctrl-C (SIGINT); 143 for SIGTERM, 129 for SIGHUP (the terminal "
     "closed). The run stops when the request in flight is answered and ends through "
     "its own exits: the file, then the port, is closed, and a file being written "
     "holds only whole records and the end record (a run stopped before its first "
     "record leaves the old file as it was). A second Ctrl-C ends it at once, the old "
     "file left as it was.",
     "the same; the file ends with the end record (a stop before the first record "
     "keeps the old file)"},
};

}  // namespace

const ExitStatusTable kQuilmarkStatuses = {kRows, std::size(kRows)};

const ProgramHelp kQuilmarkHelp = {
    "Quilmark",
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
    "  com port  ",
    true,
    {kRows, std::size(kRows)},
};
