// The upload of an Intel HEX file record by record, one flow for both
// uploaders; what differs between them is one row of figures and texts.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "dialogue/pace.h"
#include "hexrec/hexrec.h"
#include "run/help.h"
#include "run/open_port.h"

// A record the target refused gets the monitor a second to recover.
constexpr int32_t kRefusedPauseMs = 1000;

// How one uploader sends a record and takes the target's answer.
struct UploadRow {
    const char* program;  // the name the command that continues a cut upload starts with
    const char* usage;    // the usage line's text after "Usage: "
    const ExitStatusTable& statuses;
    const ProgramHelp& help;
    // The port: a device path taken as it is ("Port name too long" past the
    // buffer, a hint only for a bare device name), or any port name form.
    bool portIsDevicePath;
    PortTexts portTexts;
    HandshakeRow handshake;
    // Sending: ":" and colonPauseMs, then one character at a time with
    // charPauseMs after each, or (charPauseMs 0) the rest in one write.
    int32_t colonPauseMs;
    int32_t charPauseMs;
    bool showsRecordText;  // the record's text printed before it is sent
    // The answer: awaited past other bytes (verdictWaits silent waits of
    // verdictWaitMs, or chatterBytes other bytes), or collected among its
    // first verdictBytes bytes, verdictWaitMs for each.
    bool collectsVerdict;
    int32_t verdictWaitMs;
    int verdictWaits;
    int chatterBytes;
    int verdictBytes;
    // After an answer: a pause (acceptedPauseMs, or kRefusedPauseMs after a
    // refusal) then an input flush; or a drain until quietMs of silence, then
    // the pause. A flushing uploader notices a stop before its pause.
    bool settlesByFlush;
    int32_t acceptedPauseMs;
    int32_t quietMs;
    // The end: "!" and closePauseMs before the port closes, or nothing.
    bool endsWithBang;
    int32_t closePauseMs;
    const char* refusedWarning;  // printf format, %ld the records not accepted
    const char* doneLine;
    // Milliseconds the upload takes at the line's pace (its announcement).
    double (*estimateMs)(const UploadWork& work, const TargetAnswers& answers);
};

// The uploader's whole run on its command line: help, arguments, the file
// read and checked, the port, the handshake, the records, the end. Returns
// the exit status from row.statuses.
int RunUpload(const UploadRow& row, int argc, char* argv[]);
