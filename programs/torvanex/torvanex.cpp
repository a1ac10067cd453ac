// Torvanex: loads an Intel HEX file into the target, record by record.
//
//   Torvanex {filename} {port}
//
// The run goes through its stages in order (arguments, file, port,
// handshake, records, finish); the way a stage ends gives the exit status
// from Torvanex's table (exit_status.cpp), which the help lists.
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
#include "host/stop_signal.h"
#include "input_file/input_file.h"
#include "programs/torvanex/exit_status.h"
#include "run/arguments.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[80] = "/dev/ttyUSB0";
char srcFileName[80];
char fileText[kMaxInputBytes];  // the whole file, read once: checked, counted and sent from here
long fileLength = 0;
std::size_t fileAt = 0;  // where the next line starts
ComPort fdPort = kInvalidComPort;
char dataBuf[kMaxRecordChars + 2];  // prompt text, then one whole record line
char inByte = 0;
int err_no = 0;     // verdict of the last record: 0 accepted, 1 "?", 2 "E"
UploadWork work{};  // what the file will send, for the announcement and summary
long sent = 0;      // records sent
long refused = 0;   // ... of them refused by the target, or left without a verdict

long lineNumber = 0;        // of the line read last, for the summary
uint32_t extendedBase = 0;  // set by extended address records

constexpr int32_t kVerdictTimeout = 5000;  // ms per wait for the verdict
constexpr int kVerdictWaits = 8;           // waits before the target counts as gone
// A target that talks but never gives a verdict is given up on after this
// many other bytes, or as long in all as the silent waits.
constexpr int kVerdictChatterBytes = 1024;

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(fdPort);
    AbandonProgress();
}

// Ends the run whose `stage` ended with `outcome`: says why (a wait's end as
// EndRun words it; a verdict wait that met only other bytes has said so
// itself), hints after a wake-up left unanswered, then, once the port was
// open, closes it and sums the run up on standard error. Returns the exit
// status from kTorvanexStatuses.
int EndAt(Stage stage, Outcome outcome) {
    const int status = stage == Stage::kRecords && outcome == Outcome::kChatter
                           ? ExitStatusFor(kTorvanexStatuses, stage, outcome)
                           : EndRunOnPort(kTorvanexStatuses, stage, outcome, fdPort);
    if (fdPort != kInvalidComPort) {
        CloseCom(fdPort);
        fdPort = kInvalidComPort;
        std::fflush(stdout);
        SummarizeUpload(sent, work.records, sent - refused);
    }
    return status;
}

// Arguments: the file name, and the port when given, copied once they are
// known to fit. Returns Outcome::kDone, or Outcome::kBadArguments with the
// reason printed.
Outcome TakeArguments(int argc, char* argv[]) {
    if (TakeFileArgument(argc, argv, 1, "./Torvanex {filename} {port}", sizeof srcFileName) !=
        Outcome::kDone) {
        return Outcome::kBadArguments;
    }
    if (argc > 2) {
        if (std::strlen(argv[2]) >= sizeof sPortName) {
            std::printf("\n ERROR! Port name too long (at most %zu characters)\n",
                        sizeof sPortName - 1);
            return Outcome::kBadArguments;
        }
        std::strcpy(sPortName, argv[2]);
    }
    return Outcome::kDone;
}

// File: read whole into fileText and checked up to its end record before
// the port is touched, so a broken file never half-loads; the work
// announced on standard error. Returns Outcome::kDone, or
// Outcome::kFileError with the reason printed.
Outcome CheckFile(const char* name) {
    fileLength = ReadRecordFile("Torvanex", name, srcFileName, sizeof srcFileName, fileText,
                                sizeof fileText);
    if (fileLength < 0) {
        return Outcome::kFileError;
    }
    work = CountUploadWork(fileText, static_cast<std::size_t>(fileLength));
    AnnounceUpload(work, TorvanexMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Port: opened raw at 9600 baud 8N2. Returns Outcome::kDone with fdPort
// open, or Outcome::kNoPort with the system's error and a hint printed.
Outcome OpenPort() {
    int32_t comError = 0;
    fdPort = OpenCom(sPortName, 9600, &comError);
    if (fdPort == kInvalidComPort) {
        std::printf("OpenCom(%s) failed with error %d.\n", sPortName, errno);
        HintOpenFailure(sPortName, comError);
        return Outcome::kNoPort;
    }
    std::printf("Serial Port %s open at 9600 Baud", sPortName);
    std::fflush(stdout);
    return Outcome::kDone;
}

// Sends the record in dataBuf, cut after its checksum, character by
// character so the monitor keeps up.
void SendRecord() {
    const int len = RecordLength(dataBuf);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d ", len, RecordType(dataBuf));
    SendRecordByCharacter(fdPort, dataBuf, kTorvanexColonPauseMs, kTorvanexCharPauseMs);
}

// Awaits and shows the verdict on the record just sent from the file's line
// lineNumber, loaded at `loadAddress`, and counts it. A record left without
// a verdict counts as refused, and the summary names it. Returns
// Outcome::kDone with a verdict; otherwise AwaitVerdict's outcome, the
// end of chatter said here.
Outcome TakeVerdict(unsigned long loadAddress) {
    const Outcome verdict = AwaitVerdict(fdPort, kVerdictTimeout, kVerdictWaits,
                                         kVerdictChatterBytes, StopSignal, &inByte, &err_no);
    ++sent;
    if (verdict != Outcome::kDone) {
        ++refused;
        NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
        if (verdict == Outcome::kChatter) {
            std::printf("\n ERROR! No Verdict from target: it kept sending other bytes\n");
        }
        return verdict;
    }
    std::printf("%c\r\n", inByte);
    if (err_no != 0) {
        ++refused;
        NoteRecordNotAccepted(lineNumber, loadAddress, inByte);
    }
    ProgressUpdate(sent);
    return Outcome::kDone;
}

// Records: one at a time from fileText, each verdict awaited before the
// next. A stop lands between records: the record in flight is sent whole and
// its verdict awaited first. Returns Outcome::kDone after the last record (a
// refused one counted, not ending the run), Outcome::kStopped, or how a
// verdict wait ended.
Outcome SendRecords() {
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        if (NextRecord(fileText, static_cast<std::size_t>(fileLength), &fileAt, &lineNumber,
                       dataBuf, sizeof dataBuf) == 0) {
            return Outcome::kDone;
        }
        const uint32_t loadAddress = DataByteAddress(dataBuf, extendedBase, 0);
        extendedBase = ExtendedAddress(dataBuf, extendedBase);
        SendRecord();
        const Outcome verdict = TakeVerdict(loadAddress);
        if (verdict != Outcome::kDone) {
            return verdict;
        }
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        PauseMs(err_no != 0 ? kRefusedPauseMs : kTorvanexAcceptedPauseMs);
        FlushComInput(fdPort);
    }
}

// Finish: closes the port, says how the upload went and sums it up.
// Returns Outcome::kDone, or Outcome::kBadAnswer when the target refused a
// record (the program on it is incomplete).
Outcome FinishUpload() {
    CloseCom(fdPort);
    fdPort = kInvalidComPort;
    ProgressEnd();
    if (refused > 0) {
        std::printf(" WARNING! %ld record(s) refused by the target\n", refused);
    }
    std::printf("Done\r\n");
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - refused);
    return refused > 0 ? Outcome::kBadAnswer : Outcome::kDone;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, kTorvanexHelp) != 0) {
        return 0;
    }
    // Banner and arguments.
    std::printf("Z80 System Loader\n");
    Outcome outcome = TakeArguments(argc, argv);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kArguments, outcome);
    }
    // From here Ctrl-C, SIGTERM and SIGHUP end the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: checked whole before the port is touched; the work announced.
    outcome = CheckFile(argv[1]);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kFile, outcome);
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
