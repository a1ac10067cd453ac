// Torvanex [--retry N] [--from-line N] {filename} {port}: loads an Intel HEX
// file into the target record by record. The way each stage ends gives the
// exit status from exit_status.cpp.
#include <cerrno>
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
#include "programs/torvanex/exit_status.h"
#include "run/arguments.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[80] = "/dev/ttyUSB0";
char srcFileName[80];
char fileText[kMaxInputBytes];  // the whole file, read once
long fileLength = 0;
UploadCursor cursor;  // the next record to send
ComPort fdPort = kInvalidComPort;
char dataBuf[kMaxRecordChars + 2];  // prompt text, then one whole record line
char inByte = 0;
int err_no = 0;  // verdict of the last record: 0 accepted, 1 "?", 2 "E"

int retries = 0;                     // --retry: resends of a refused record
long fromLine = 1;                   // --from-line: the first line sent
const char* portArgument = nullptr;  // as given, for the command that continues
UploadWork work{};                   // for the announcement and the summary
long sent = 0;                       // records sent
long refused = 0;                    // ... of them not accepted in the end
long resent = 0;                     // resends after a refusal
long firstNotAccepted = 0;           // file line of the first record not accepted
long lineNumber = 0;                 // of the record in dataBuf
uint32_t extendedBase = 0;

constexpr int32_t kVerdictTimeout = 5000;  // ms per wait for the verdict
constexpr int kVerdictWaits = 8;           // silent waits before the target counts as gone
// A target that talks but never gives a verdict is given up on after this
// many other bytes, or as long in all as the silent waits.
constexpr int kVerdictChatterBytes = 1024;

// A second stop signal ends the run at once, from its handler.
void StopAtOnce() {
    AbandonCom(fdPort);
    AbandonProgress();
}

// The file line an upload cut short continues from, or 0 when none is left.
long ContinueLine() {
    return firstNotAccepted != 0
               ? firstNotAccepted
               : NextUploadLine(fileText, static_cast<std::size_t>(fileLength), cursor);
}

// Says why the run ends (a verdict wait that met only other bytes has said
// so), closes the port and sums up, with the command that continues an
// upload cut short. Returns the exit status.
int EndAt(Stage stage, Outcome outcome) {
    const int status = stage == Stage::kRecords && outcome == Outcome::kChatter
                           ? ExitStatusFor(kTorvanexStatuses, stage, outcome)
                           : EndRunOnPort(kTorvanexStatuses, stage, outcome, fdPort);
    if (fdPort != kInvalidComPort) {
        CloseCom(fdPort);
        fdPort = kInvalidComPort;
        std::fflush(stdout);
        SummarizeUpload(sent, work.records, sent - refused, resent);
        const long line = stage == Stage::kRecords && sent > 0 ? ContinueLine() : 0;
        if (line != 0) {
            SuggestContinuing("Torvanex", line, retries, srcFileName, portArgument);
        }
    }
    return status;
}

// The options, the file name and the port, each known to fit before it is
// copied. Returns the file argument's index, or -1 with the reason printed.
int TakeArguments(int argc, char* argv[]) {
    const int at = TakeUploadOptions(argc, argv, &retries, &fromLine);
    if (at < 0 || TakeFileArgument(argc, argv, at, "./Torvanex {filename} {port}",
                                   sizeof srcFileName) != Outcome::kDone) {
        return -1;
    }
    if (argc > at + 1) {
        if (std::strlen(argv[at + 1]) >= sizeof sPortName) {
            std::printf("\n ERROR! Port name too long (at most %zu characters)\n",
                        sizeof sPortName - 1);
            return -1;
        }
        portArgument = argv[at + 1];
        std::strcpy(sPortName, portArgument);
    }
    return at;
}

// Reads and checks the file whole before the port is touched, so a broken
// file never half-loads; finds where --from-line starts; announces the work.
Outcome CheckFile(const char* name) {
    fileLength = ReadRecordFile("Torvanex", name, srcFileName, sizeof srcFileName, fileText,
                                sizeof fileText);
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
    AnnounceUpload(work, TorvanexMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Opens the port raw at 9600 baud 8N2, or says why not with a hint.
Outcome OpenPort() {
    int32_t comError = 0;
    fdPort = OpenCom(sPortName, 9600, &comError);
    if (fdPort == kInvalidComPort) {
        std::printf("OpenCom(%s) failed with error %d.\n", sPortName, errno);
        if (portArgument != nullptr && BareDeviceName(portArgument)) {
            HintPortArgument(portArgument);
        } else {
            HintOpenFailure(sPortName, comError);
        }
        return Outcome::kNoPort;
    }
    std::printf("Serial Port %s open at 9600 Baud", sPortName);
    std::fflush(stdout);
    return Outcome::kDone;
}

// Sends the record in dataBuf, cut after its checksum, one character at a
// time so the monitor keeps up, and shows its verdict (inByte, err_no).
Outcome SendRecord() {
    const int len = RecordLength(dataBuf);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d ", len, RecordType(dataBuf));
    SendRecordByCharacter(fdPort, dataBuf, kTorvanexColonPauseMs, kTorvanexCharPauseMs);
    const Outcome verdict = AwaitVerdict(fdPort, kVerdictTimeout, kVerdictWaits,
                                         kVerdictChatterBytes, StopSignal, &inByte, &err_no);
    if (verdict == Outcome::kChatter) {
        std::printf("\n ERROR! No Verdict from target: it kept sending other bytes\n");
    } else if (verdict == Outcome::kDone) {
        std::printf("%c\r\n", inByte);
    }
    return verdict;
}

// Sends the record in dataBuf, again after each refusal while --retry
// allows, each verdict followed by its pause and flush, and counts it. A
// stop lands after a verdict. Returns how the last verdict wait ended.
Outcome SendCountedRecord() {
    const uint32_t loadAddress = DataByteAddress(dataBuf, extendedBase, 0);
    extendedBase = ExtendedAddress(dataBuf, extendedBase);
    ++sent;
    for (int attempt = 0;; ++attempt) {
        const Outcome verdict = SendRecord();
        const bool accepted = verdict == Outcome::kDone && err_no == 0;
        const bool stopped = verdict == Outcome::kDone && StopSignal() != 0;
        if (verdict == Outcome::kDone && !stopped) {
            PauseMs(accepted ? kTorvanexAcceptedPauseMs : kRefusedPauseMs);
            FlushComInput(fdPort);
            if (!accepted && attempt < retries) {
                ++resent;
                continue;
            }
        }
        if (!accepted) {
            ++refused;
            firstNotAccepted = firstNotAccepted != 0 ? firstNotAccepted : lineNumber;
            NoteRecordNotAccepted(lineNumber, loadAddress,
                                  verdict == Outcome::kDone ? inByte : '\0');
        }
        if (verdict == Outcome::kDone) {
            ProgressUpdate(sent);
        }
        return stopped ? Outcome::kStopped : verdict;
    }
}

// Records, one at a time, each verdict awaited before the next (from
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
        const Outcome verdict = SendCountedRecord();
        if (verdict != Outcome::kDone) {
            return verdict;
        }
    }
}

// Closes the port and says how the upload went. Returns Outcome::kBadAnswer
// when a record was not accepted (the program on the target is incomplete).
Outcome FinishUpload() {
    CloseCom(fdPort);
    fdPort = kInvalidComPort;
    ProgressEnd();
    if (refused > 0) {
        std::printf(" WARNING! %ld record(s) refused by the target\n", refused);
    }
    std::printf("Done\r\n");
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - refused, resent);
    return refused > 0 ? Outcome::kBadAnswer : Outcome::kDone;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Standard streams: a closed one becomes the null device, so no file or
    // port takes its number; a lost one costs only the transcript.
    SettleStandardStreams();
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, kTorvanexHelp) != 0) {
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
    outcome = OpenPort();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor, wait for its "$$$", settle the line.
    outcome = Handshake(fdPort, kTorvanexHandshake, dataBuf, sizeof dataBuf, &inByte);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    ProgressStart(work.records, "records", TorvanexMs(work, kLeastAnswers));

    // Records, one at a time, each verdict awaited.
    outcome = SendRecords();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kRecords, outcome);
    }
    // Finish: the port closed, the result told.
    return EndAt(Stage::kFinish, FinishUpload());
}
