#include "programs/upload/upload.h"

#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/outcome.h"
#include "guidance/empty_work.h"
#include "guidance/guidance.h"
#include "guidance/hints.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "run/after_job.h"
#include "run/arguments.h"
#include "run/input_told.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

const UploadRow* program = nullptr;  // the uploader this run is

char sPortName[kComPortNameSize] = Z80_DEFAULT_COM_PORT;
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
bool chatterTold = false;  // a verdict wait that met only other bytes said so
AfterJob afterJob;         // what is done on the port once every record was accepted

// A second stop signal ends the run at once, from its handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// The file line an upload cut short continues from, or 0 when none is left.
// Never before --from-line: the extended address in force there, sent
// ahead of it from an earlier line, is sent again from there anyway.
long ContinueLine() {
    const long line = firstNotAccepted != 0
                          ? firstNotAccepted
                          : NextUploadLine(fileText, static_cast<std::size_t>(fileLength), cursor);
    return line != 0 && line < fromLine ? fromLine : line;
}

// Says why the run ends (unless its step has), closes the port and sums up,
// with the command that continues an upload cut short. Returns the status.
int EndAt(Stage stage, Outcome outcome) {
    const int status = chatterTold ? ExitStatusFor(program->statuses, stage, outcome)
                                   : EndRunOnPort(program->statuses, stage, outcome, comHandle);
    if (comHandle != kInvalidComPort) {
        CloseCom(comHandle);
        comHandle = kInvalidComPort;
        std::fflush(stdout);
        SummarizeUpload(sent, work.records, sent - notAccepted, resent);
        const long line = stage == Stage::kRecords && sent > 0 ? ContinueLine() : 0;
        if (line != 0) {
            SuggestContinuing(program->program, line, retries, srcFileName, portArgument);
        }
        if (stage == Stage::kFinish && work.records == 0) {
            NoteNothingSent(srcFileName);
        }
    }
    return status;
}

// A device path copied as it is, known to fit first. Returns kDone, or
// kBadArguments with why printed.
Outcome TakeDevicePath(const char* text) {
    if (std::strlen(text) >= sizeof sPortName) {
        std::printf("\n ERROR! Port name too long (at most %zu characters)\n",
                    sizeof sPortName - 1);
        return Outcome::kBadArguments;
    }
    std::strcpy(sPortName, text);
    return Outcome::kDone;
}

// The options, the file name and the port, each known to fit before it is
// taken. Returns the file argument's index, or -1 with the reason printed.
int TakeArguments(int argc, char* argv[]) {
    const int at = TakeUploadOptions(argc, argv, &retries, &fromLine);
    if (at < 0) {
        return -1;
    }
    const Outcome taken = program->portIsDevicePath
                              ? TakeFileArgument(argc, argv, at, program->usage, sizeof srcFileName)
                              : TakeFileAndPort(argc, argv, at, program->usage, sizeof srcFileName,
                                                sPortName, sizeof sPortName);
    if (taken != Outcome::kDone) {
        return -1;
    }
    portArgument = argc > at + 1 ? argv[at + 1] : nullptr;
    if (program->portIsDevicePath && portArgument != nullptr &&
        TakeDevicePath(portArgument) != Outcome::kDone) {
        return -1;
    }
    return at;
}

// Reads and checks the file whole before the port is touched, so a broken
// file never half-loads; finds where --from-line starts; announces the work.
Outcome CheckFile(const char* name) {
    fileLength = afterJob.loadAddress != nullptr
                     ? ReadBinaryRecords(program->program, name, afterJob.loadAddress, srcFileName,
                                         sizeof srcFileName, fileText, sizeof fileText)
                     : ReadRecordFile(program->program, name, srcFileName, sizeof srcFileName,
                                      fileText, sizeof fileText);
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
    AnnounceUpload(work, program->estimateMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Opens the port raw at 9600 baud 8N2, or says why not with its hints; a
// device path gets the hint for a bare device name alone.
Outcome OpenPort() {
    const char* hinted = portArgument;
    if (program->portIsDevicePath && hinted != nullptr && !BareDeviceName(hinted)) {
        hinted = nullptr;
    }
    return OpenProgramPort(program->portTexts, sPortName, 9600, hinted, &comHandle, &comError);
}

// Sends the record in dataBuf, cut after its checksum, as the row says, and
// shows its answer (tempBuf, inByte, err_no). Returns kBadAnswer for an
// answer without a verdict, or how the wait for it ended.
Outcome SendRecord() {
    const int len = RecordLength(dataBuf);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d ", len, RecordType(dataBuf));
    if (program->showsRecordText) {
        std::fputs(dataBuf, stdout);
        std::fflush(stdout);
    }
    if (program->charPauseMs > 0) {
        SendRecordByCharacter(comHandle, dataBuf, program->colonPauseMs, program->charPauseMs);
    } else {
        SendRecordInOneWrite(comHandle, dataBuf, program->colonPauseMs);
    }
    if (program->collectsVerdict) {
        const Outcome verdict =
            CollectVerdict(comHandle, tempBuf, sizeof tempBuf, program->verdictBytes,
                           program->verdictWaitMs, StopSignal, &inByte, &err_no);
        if (verdict == Outcome::kBadAnswer) {
            std::printf(" ERROR! No Verdict\n");
        } else if (verdict == Outcome::kDone) {
            std::printf("%s\n", std::strchr(tempBuf, inByte));
        }
        std::fflush(stdout);
        return verdict;
    }
    const Outcome verdict = AwaitVerdict(comHandle, program->verdictWaitMs, program->verdictWaits,
                                         program->chatterBytes, StopSignal, &inByte, &err_no);
    if (verdict == Outcome::kChatter) {
        std::printf("\n ERROR! No Verdict from target: it kept sending other bytes\n");
        chatterTold = true;
    } else if (verdict == Outcome::kDone) {
        std::printf("%c\r\n", inByte);
    }
    return verdict;
}

// The line settled after an answer, as the row says: a pause then a flush
// (kStopped instead once a stop came), or a drain then the pause.
Outcome SettleAfterAnswer() {
    const int32_t pauseMs = err_no != 0 ? kRefusedPauseMs : program->acceptedPauseMs;
    if (program->settlesByFlush) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        PauseMs(pauseMs);
        FlushComInput(comHandle);
        return Outcome::kDone;
    }
    const Outcome drained = DrainComInput(comHandle, program->quietMs);
    if (drained == Outcome::kDone) {
        PauseMs(pauseMs);
    }
    return drained;
}

// Sends the record in dataBuf, again after each refusal while --retry
// allows, and counts it. A record answered without a verdict may or may not
// be stored: not accepted. Returns kDone once answered and settled, or how
// the answer or the settling ended.
Outcome SendCountedRecord() {
    const uint32_t loadAddress = DataByteAddress(dataBuf, extendedBase, 0);
    extendedBase = ExtendedAddress(dataBuf, extendedBase);
    ++sent;
    for (int attempt = 0;; ++attempt) {
        const Outcome answer = SendRecord();
        const bool answered = answer == Outcome::kDone || answer == Outcome::kBadAnswer;
        const Outcome settled = answered ? SettleAfterAnswer() : answer;
        if (settled == Outcome::kDone && err_no != 0 && attempt < retries && StopSignal() == 0) {
            ++resent;
            continue;
        }
        if (answer != Outcome::kDone || err_no != 0) {
            ++notAccepted;
            firstNotAccepted = firstNotAccepted != 0 ? firstNotAccepted : lineNumber;
            NoteRecordNotAccepted(lineNumber, loadAddress,
                                  answer == Outcome::kDone ? inByte : '\0');
        }
        if (answered) {
            ProgressUpdate(sent);
        }
        return settled;
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

// "!", where the row ends with it, tells the monitor the upload is over; a
// port lost after the last verdict could not carry it, and after a stop
// nothing more is sent. Says how the upload went, the port left open:
// Outcome::kBadAnswer when a record was not accepted.
Outcome FinishUpload() {
    if (program->endsWithBang) {
        if (ComPortGone(comHandle)) {
            return Outcome::kPortLost;
        }
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        WriteComBytes(comHandle, "!", 1);
        PauseMs(program->closePauseMs);
    }
    ProgressEnd();
    if (notAccepted > 0) {
        std::printf(program->refusedWarning, notAccepted);
    }
    std::fputs(program->doneLine, stdout);
    std::fflush(stdout);
    return notAccepted > 0 ? Outcome::kBadAnswer : Outcome::kDone;
}

}  // namespace

int RunUpload(const UploadRow& row, int argc, char* argv[]) {
    program = &row;
    // Standard streams: a closed one becomes the null device, so no file or
    // port takes its number; a lost one costs only the transcript.
    SettleStandardStreams();
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, row.help) != 0) {
        return 0;
    }
    // Banner and arguments: what is done after the job first, from anywhere.
    std::printf("Z80 System Loader\n");
    const int fileArgument = TakeAfterJobOptions(&argc, argv, kTakesLoadAddress, &afterJob) == 0
                                 ? TakeArguments(argc, argv)
                                 : -1;
    if (fileArgument < 0) {
        return EndAt(Stage::kArguments, Outcome::kBadArguments);
    }
    // From here a stop signal ends the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: read and checked whole before the port is touched.
    Outcome outcome = CheckFile(argv[fileArgument]);
    HintArguments(row.program, argc, argv, fileArgument, 2);
    if (outcome != Outcome::kDone) {
        return EndAt(outcome == Outcome::kBadArguments ? Stage::kArguments : Stage::kFile, outcome);
    }
    // Port.
    outcome = OpenPort();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor, wait for its "$$$", settle the line.
    outcome = Handshake(comHandle, row.handshake, dataBuf, sizeof dataBuf, &inByte);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    ProgressStart(work.records, "records", row.estimateMs(work, kLeastAnswers));

    // Records, one at a time, each answer awaited.
    outcome = SendRecords();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kRecords, outcome);
    }
    // Finish: "!" where the row sends it, the result told.
    outcome = FinishUpload();
    // After the job done: text sent, an answer awaited, a terminal.
    if (outcome == Outcome::kDone && WantsAfterJob(afterJob)) {
        outcome = RunAfterJob(comHandle, afterJob);
        if (outcome != Outcome::kDone) {
            return EndAt(Stage::kAfterJob, outcome);
        }
    }
    // The port closed, the run summed up.
    return EndAt(Stage::kFinish, outcome);
}
