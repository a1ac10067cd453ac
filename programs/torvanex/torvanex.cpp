// Torvanex [--retry N] [--from-line N] {filename} {port}: loads an Intel HEX
// file into the target record by record, one character at a time, each
// verdict awaited past other bytes. The way each stage ends gives the exit
// status from exit_status.cpp.
#include "programs/torvanex/exit_status.h"
#include "programs/torvanex/pace.h"
#include "programs/upload/upload.h"

namespace {

const UploadRow kTorvanex = {
    "Torvanex",
    "./Torvanex {filename} {port}",
    kTorvanexStatuses,
    kTorvanexHelp,
    true,  // the port is a device path
    {"OpenCom(%s) failed with error %d.\n", "Serial Port %s open at 9600 Baud", true},
    kTorvanexHandshake,
    kTorvanexColonPauseMs,
    kTorvanexCharPauseMs,
    false,  // the characters themselves are shown as they go
    // The verdict awaited: eight silent waits of 5 s, or 1024 other bytes
    // from a target that talks but never gives one.
    false,
    5000,
    8,
    1024,
    0,
    true,  // settled by a pause and a flush
    kTorvanexAcceptedPauseMs,
    0,
    false,  // no "!"
    0,
    " WARNING! %ld record(s) refused by the target\n",
    "Done\r\n",
    TorvanexMs,
};

}  // namespace

int main(int argc, char* argv[]) {
    return RunUpload(kTorvanex, argc, argv);
}
