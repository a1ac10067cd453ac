// Torvanex: loads an Intel HEX file into the target, record by record.
//
//   Torvanex {filename} {port}
//
// The run goes through its stages in order (arguments, file, port,
// handshake, records, finish); the way a stage ends gives the exit status
// from Torvanex's table (exit_status.cpp), which the help lists. A file that
// changes during the upload stops it as a file that cannot be read does.
#include <cerrno>
#include <chrono>
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
#include "input_file/record_file.h"
#include "input_file/text_file.h"
#include "programs/torvanex/exit_status.h"
#include "run/arguments.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[80] = "/dev/ttyUSB0";
char srcFileName[80];
std::FILE* fp = nullptr;
ComPort fdPort = kInvalidComPort;
char dataBuf[kMaxRecordChars + 2];  // prompt text, then one whole record line
char inByte = 0;
int err_no = 0;     // verdict of the last record: 0 accepted, 1 "?", 2 "E"
UploadWork work{};  // what the file will send, for the announcement and summary
long sent = 0;      // records sent
long refused = 0;   // ... of them refused by the target, or left without a verdict

// What was checked and what is sent: the file's stamp when checked, and the
// digests of the lines checked and of the lines read for sending.
FileStamp stamp;
uint64_t checkedDigest = kDigestStart;
uint64_t sentDigest = kDigestStart;
long lineNumber = 0;          // of the line read last, for the summary
unsigned long upperBits = 0;  // set by extended address records

constexpr int32_t kVerdictTimeout = 5000;  // ms per wait for the verdict
constexpr int kVerdictWaits = 8;           // waits before the target counts as gone
// A target that talks but never gives a verdict is given up on after this
// many other bytes, or this long in all (the same as eight silent waits).
constexpr int kVerdictChatterBytes = 1024;
constexpr int32_t kVerdictLimitMs = kVerdictWaits * kVerdictTimeout;

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(fdPort);
    AbandonProgress();
}

// Ends the run whose `stage` ended with `outcome`: says why (a wait's end as
// EndRun words it; a verdict wait that met only other bytes has said so
// itself), hints after a wake-up left unanswered, then closes the file and
// the port where they are open and, once the port was open, sums the run up
// on standard error. Returns the exit status from kTorvanexStatuses.
int EndAt(Stage stage, Outcome outcome) {
    const int status = stage == Stage::kRecords && outcome == Outcome::kChatter
                           ? ExitStatusFor(kTorvanexStatuses, stage, outcome)
                           : EndRunOnPort(kTorvanexStatuses, stage, outcome, fdPort);
    if (CloseFileAndPort(&fp, &fdPort)) {
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

// File: a plain file only, opened and checked up to its end record before
// the port is touched, so a broken file never half-loads. Its stamp and the
// digest of its lines tell later whether what is sent is what was checked.
// Announces the work on standard error. Returns Outcome::kDone with fp open,
// or Outcome::kFileError with the reason printed.
Outcome CheckFile(const char* name) {
    fp = OpenRecordFile("Torvanex", name, srcFileName, sizeof srcFileName, &stamp, &checkedDigest);
    if (fp == nullptr) {
        return Outcome::kFileError;
    }
    CountUploadWork(fp, &work);
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

// Sends the record in dataBuf: a colon, a pause and a flush of stale input,
// then the record one character at a time (each shown) so the monitor keeps
// up.
void SendRecord() {
    const int len = RecordLength(dataBuf);
    WriteComBytes(fdPort, ":", 1);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d ", len, RecordType(dataBuf));
    PauseMs(kTorvanexColonPauseMs);
    FlushComInput(fdPort);
    for (std::size_t i = 1; dataBuf[i] != '\0'; ++i) {
        WriteComBytes(fdPort, &dataBuf[i], 1);
        std::putchar(dataBuf[i]);
        std::fflush(stdout);
        PauseMs(kTorvanexCharPauseMs);
    }
}

// Waits for the target's verdict on the record just sent, skipping any other
// byte. Sets err_no (0 for "*", 1 for "?", 2 for "E"); the verdict is left in
// inByte. Returns Outcome::kDone with a verdict; after kVerdictWaits silent
// waits of kVerdictTimeout ms (at once when the port is lost; after one more
// whole wait when a stop signal cut a wait short, and after the first silent
// wait once a stop came, so a stopped run still hears the verdict on its
// last record) Outcome::kSilent or Outcome::kPortLost; Outcome::kChatter
// when kVerdictChatterBytes other bytes, or kVerdictLimitMs ms in all,
// passed without a verdict.
Outcome WaitForVerdict() {
    err_no = 0;
    int timeouts = 0;
    int skipped = 0;
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kVerdictLimitMs);
    for (;;) {
        const bool stoppedBefore = StopSignal() != 0;
        inByte = static_cast<char>(WaitForComByte(fdPort, kVerdictTimeout));
        if (inByte == 0) {
            if (stoppedBefore || ++timeouts >= kVerdictWaits || ComPortGone(fdPort)) {
                return SilenceOn(fdPort);
            }
            continue;
        }
        if (inByte == '*') {
            return Outcome::kDone;
        }
        if (inByte == '?' || inByte == 'E') {
            err_no = inByte == '?' ? 1 : 2;
            return Outcome::kDone;
        }
        if (++skipped >= kVerdictChatterBytes || std::chrono::steady_clock::now() >= giveUp) {
            return Outcome::kChatter;
        }
    }
}

// Awaits and shows the verdict on the record just sent from the file's line
// lineNumber, loaded at `loadAddress`, and counts it. A record left without
// a verdict counts as refused, and the summary names it. Returns
// Outcome::kDone with a verdict; otherwise WaitForVerdict's outcome, the
// end of chatter said here.
Outcome TakeVerdict(unsigned long loadAddress) {
    const Outcome verdict = WaitForVerdict();
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

// Records: one at a time, each verdict awaited before the next line is read.
// A stop lands between records: the record in flight is sent whole and its
// verdict awaited first. Returns Outcome::kDone after the last record (a
// refused one counted, not ending the run), Outcome::kStopped,
// Outcome::kFileError with the reason printed, or how a verdict wait ended.
Outcome SendRecords() {
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        const RecordRead read =
            ReadRecord(fp, srcFileName, stamp, dataBuf, sizeof dataBuf, &sentDigest, &lineNumber);
        if (read == RecordRead::kNoMore) {
            return Outcome::kDone;
        }
        if (read == RecordRead::kFault) {
            return Outcome::kFileError;
        }
        if (read == RecordRead::kEmptyLine) {
            continue;
        }
        const unsigned long loadAddress = RecordLoadAddress(dataBuf, &upperBits);
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

// Finish: the lines sent must be those checked, up to the same end (a file
// cut short meets its end early). Closes the file and the port, says how
// the upload went and sums it up. Returns Outcome::kDone, or
// Outcome::kBadAnswer when the target refused a record (the program on it
// is incomplete); Outcome::kFileError, nothing closed, when the file
// changed.
Outcome FinishUpload() {
    if (sentDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return Outcome::kFileError;
    }
    std::fclose(fp);
    fp = nullptr;
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
    // Finish: the file unchanged, everything closed, the result told.
    return EndAt(Stage::kFinish, FinishUpload());
}
