// Torvane [--retry N] [--from-line N] {filename} {port}: loads an Intel HEX
// file into the target record by record and marks the end with "!". The port
// is a COM port number (on a POSIX host also a device path). The way each
// stage ends gives the exit status from exit_status.cpp.
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "dialogue/outcome.h"
#include "guidance/guidance.h"
#include "guidance/help.h"
#include "guidance/hints.h"
#include "hexrec/hexrec.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "input_file/input_file.h"
#include "programs/torvane/exit_status.h"
#include "run/arguments.h"
#include "run/open_port.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[kComPortNameSize] = Z80_DEFAULT_COM_PORT;
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
char srcFileName[80];
char fileText[kMaxInputBytes];  // the whole file, read once
long fileLength = 0;
UploadCursor cursor;                // the next record to send
char dataBuf[kMaxRecordChars + 2];  // prompt text, then one whole record line
char tempBuf[10];                   // the bytes answering a record, up to 8
char inByte = 0;
int err_no = 0;  // verdict of the last record: 0 accepted (or none), 1 "?", 2 "E"

int retries = 0;                     // --retry: resends of a refused record
long fromLine = 1;                   // --from-line: the first line sent
const char* portArgument = nullptr;  // as given, for the command that continues
UploadWork work{};                   // for the announcement and the summary
long sent = 0;                       // records sent
long notAccepted = 0;                // ... of them refused or answered without a verdict
long resent = 0;                     // resends after a refusal
long firstNotAccepted = 0;           // file line of the first record not accepted
long lineNumber = 0;                 // of the record in dataBuf
uint32_t extendedBase = 0;

constexpr PortTexts kPortTexts{"Torvane", "OpenCom (1) failed with error %d.\n",
                               "Com Port(1) %s open at %d baud.\n"};
constexpr int32_t kVerdictTimeout = 5000;  // ms per byte of the answer to a record
constexpr int kVerdictBytes = 8;           // answer bytes searched for a verdict

// A second stop signal ends the run at once, from its handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Says why the run ends, closes the port and sums up, with the command that
// continues an upload cut short. Returns the exit status.
int EndAt(Stage stage, Outcome outcome) {
    const int status = EndRunOnPort(kTorvaneStatuses, stage, outcome, comHandle);
    if (comHandle != kInvalidComPort) {
        CloseCom(comHandle);
        comHandle = kInvalidComPort;
        std::fflush(stdout);
        SummarizeUpload(sent, work.records, sent - notAccepted, resent);
        const long line =
            stage != Stage::kRecords || sent == 0 ? 0
            : firstNotAccepted != 0
                ? firstNotAccepted
                : NextUploadLine(fileText, static_cast<std::size_t>(fileLength), cursor);
        if (line != 0) {
            SuggestContinuing("Torvane", line, retries, srcFileName, portArgument);
        }
    }
    return status;
}

// The options, the file name and the port, each known to fit before it is
// taken. Returns the file argument's index, or -1 with the reason printed.
int TakeArguments(int argc, char* argv[]) {
    const int at = TakeUploadOptions(argc, argv, &retries, &fromLine);
    if (at < 0 || TakeFileAndPort(argc, argv, at, "Torvane {filename} {port}", sizeof srcFileName,
                                  sPortName, sizeof sPortName) != Outcome::kDone) {
        return -1;
    }
    portArgument = argc > at + 1 ? argv[at + 1] : nullptr;
    return at;
}

// Reads and checks the file whole before the port is touched, so a broken
// file never half-loads; finds where --from-line starts; announces the work.
Outcome CheckFile(const char* name) {
    fileLength =
        ReadRecordFile("Torvane", name, srcFileName, sizeof srcFileName, fileText, sizeof fileText);
    if (fileLength < 0) {
        return Outcome::kFileError;
    }
    const auto length = static_cast<std::size_t>(fileLength);
    // Line 1 is every upload's start, a file without records included.
    if (!FindUploadStart(fileText, length, fromLine, &cursor) && fromLine > 1) {
        std::printf("\n ERROR! No record on or after line %ld of '%s'\n", fromLine, srcFileName);
        return Outcome::kBadArguments;
    }
    work = CountUploadWork(fileText, length, cursor);
    AnnounceUpload(work, TorvaneMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Sends the record in dataBuf, cut after its checksum and shown: the colon
// wakes the monitor's loader, the pause lets it ready itself for the rest,
// which goes out in one write. Shows the answer (tempBuf, inByte, err_no);
// Outcome::kBadAnswer when it held no verdict.
Outcome SendRecord() {
    const int len = RecordLength(dataBuf);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d %s", len, RecordType(dataBuf), dataBuf);
    std::fflush(stdout);
    SendRecordInOneWrite(comHandle, dataBuf, kTorvaneColonPauseMs);
    const Outcome verdict = CollectVerdict(comHandle, tempBuf, sizeof tempBuf, kVerdictBytes,
                                           kVerdictTimeout, StopSignal, &inByte, &err_no);
    if (verdict == Outcome::kBadAnswer) {
        std::printf(" ERROR! No Verdict\n");
    } else if (verdict == Outcome::kDone) {
        std::printf("%s\n", std::strchr(tempBuf, inByte));
    }
    std::fflush(stdout);
    return verdict;
}

// Sends the record in dataBuf, again after each refusal while --retry
// allows, drains after each answer and pauses, and counts it. A record
// answered without a verdict may or may not be stored: not accepted.
// Returns Outcome::kDone once answered, or how the answer or drain ended.
Outcome SendCountedRecord() {
    const uint32_t loadAddress = DataByteAddress(dataBuf, extendedBase, 0);
    extendedBase = ExtendedAddress(dataBuf, extendedBase);
    ++sent;
    for (int attempt = 0;; ++attempt) {
        const Outcome verdict = SendRecord();
        const bool answered = verdict == Outcome::kDone || verdict == Outcome::kBadAnswer;
        const bool accepted = verdict == Outcome::kDone && err_no == 0;
        if (answered) {
            ProgressUpdate(sent);
        }
        const Outcome drained = answered ? DrainComInput(comHandle, kTorvaneQuietMs) : verdict;
        if (drained == Outcome::kDone && err_no != 0 && attempt < retries && StopSignal() == 0) {
            PauseMs(kRefusedPauseMs);
            ++resent;
            continue;
        }
        if (!accepted) {
            ++notAccepted;
            firstNotAccepted = firstNotAccepted != 0 ? firstNotAccepted : lineNumber;
            NoteRecordNotAccepted(lineNumber, loadAddress,
                                  verdict == Outcome::kDone ? inByte : '\0');
        }
        if (drained != Outcome::kDone) {
            return drained;
        }
        // A refused record gets the monitor a second to recover.
        PauseMs(err_no != 0 ? kRefusedPauseMs : kTorvaneAcceptedPauseMs);
        return Outcome::kDone;
    }
}

// Records, one at a time, each answer awaited before the next (from
// --from-line, the extended address in force there first). A stop lands
// between records. Returns Outcome::kDone after the last, or how it ended.
Outcome SendRecords() {
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        if (NextUploadRecord(fileText, static_cast<std::size_t>(fileLength), &cursor, &lineNumber,
                             dataBuf, sizeof dataBuf) == 0) {
            return Outcome::kDone;
        }
        const Outcome answer = SendCountedRecord();
        if (answer != Outcome::kDone) {
            return answer;
        }
    }
}

// "!" tells the monitor the upload is over; a port lost after the last
// verdict could not carry it, and after a stop nothing more is sent. Closes
// the port and says how the upload went: Outcome::kBadAnswer when a record
// was not accepted.
Outcome FinishUpload() {
    if (ComPortGone(comHandle)) {
        return Outcome::kPortLost;
    }
    if (StopSignal() != 0) {
        return Outcome::kStopped;
    }
    WriteComBytes(comHandle, "!", 1);
    PauseMs(kTorvaneClosePauseMs);
    CloseCom(comHandle);
    comHandle = kInvalidComPort;
    ProgressEnd();
    if (notAccepted > 0) {
        std::printf(" WARNING! %ld record(s) not accepted by the target\n", notAccepted);
    }
    std::printf("\n Done...\n");
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - notAccepted, resent);
    return notAccepted > 0 ? Outcome::kBadAnswer : Outcome::kDone;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Standard streams: a closed one becomes the null device, so no file or
    // port takes its number; a lost one costs only the transcript.
    SettleStandardStreams();
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, kTorvaneHelp) != 0) {
        return 0;
    }
    // Banner and arguments.
    std::printf("Z80 System Loader\n");
    const int fileArgument = TakeArguments(argc, argv);
    if (fileArgument < 0) {
        return EndAt(Stage::kArguments, Outcome::kBadArguments);
    }
    // From here a stop signal ends the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: read and checked whole before the port is touched.
    Outcome outcome = CheckFile(argv[fileArgument]);
    HintArguments(argc, argv, fileArgument, 2);
    if (outcome != Outcome::kDone) {
        return EndAt(outcome == Outcome::kBadArguments ? Stage::kArguments : Stage::kFile, outcome);
    }
    // Port.
    outcome =
        OpenProgramPort(kPortTexts, sPortName, comBaudRate, portArgument, &comHandle, &comError);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor, wait for its "$$$".
    outcome = Handshake(comHandle, kTorvaneHandshake, dataBuf, sizeof dataBuf, &inByte);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    ProgressStart(work.records, "records", TorvaneMs(work, kLeastAnswers));

    // Records, one at a time, each answer awaited.
    outcome = SendRecords();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kRecords, outcome);
    }
    // Finish: "!", the port closed, the result told.
    return EndAt(Stage::kFinish, FinishUpload());
}
