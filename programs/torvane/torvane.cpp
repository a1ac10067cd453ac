// Torvane [--retry N] [--from-line N] {filename} {port}: loads an Intel HEX
// file into the target record by record, each in one write, and marks the
// end with "!". The port is a COM port number (on a POSIX host also a device
// path). The way each stage ends gives the exit status from exit_status.cpp.
#include "programs/torvane/exit_status.h"
#include "programs/torvane/pace.h"
#include "programs/upload/upload.h"

namespace {

const UploadRow kTorvane = {
    "Torvane",
    "Torvane {filename} {port}",
    kTorvaneStatuses,
    kTorvaneHelp,
    false,  // any port name form
    {"OpenCom (1) failed with error %d.\n", "Com Port(1) %s open at %d baud.\n", false},
    kTorvaneHandshake,
    kTorvaneColonPauseMs,
    0,     // the rest of the record in one write
    true,  // the record's text shown before it goes
    // The answer collected: a verdict among its first 8 bytes, 5 s for each.
    true,
    5000,
    0,
    0,
    8,
    false,  // settled by a drain, then the pause
    kTorvaneAcceptedPauseMs,
    kTorvaneQuietMs,
    true,  // "!" ends the upload
    kTorvaneClosePauseMs,
    " WARNING! %ld record(s) not accepted by the target\n",
    "\n Done...\n",
    TorvaneMs,
};

}  // namespace

int main(int argc, char* argv[]) {
    return RunUpload(kTorvane, argc, argv);
}
