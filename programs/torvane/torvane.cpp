// Torvane: loads an Intel HEX file into the target, record by record, and
// marks the end of the upload with "!".
//
//   Torvane {filename} {port}
//
// The port is a COM port number (3 opens COM3, 12 opens //./COM12); without
// it //./COM10 is opened. Where the program is built for a POSIX host, the
// port may also be a device path, and COMn stands for /dev/ttyS{n-1}.
//
// The run goes through its stages in order (arguments, file, port,
// handshake, records, finish); the way a stage ends gives the exit status
// from Torvane's table (exit_status.cpp), which the help lists. A file that
// changes during the upload stops it as a file that cannot be read does.
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "dialogue/outcome.h"
#include "guidance/guidance.h"
#include "guidance/help.h"
#include "hexrec/hexrec.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "input_file/input_file.h"
#include "input_file/record_file.h"
#include "input_file/text_file.h"
#include "programs/torvane/exit_status.h"
#include "run/arguments.h"
#include "run/open_port.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[kComPortNameSize] = "//./COM10";
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
char srcFileName[80];
std::FILE* fp = nullptr;
char dataBuf[kMaxRecordChars + 2];  // prompt text, then one whole record line
char tempBuf[10];                   // the bytes answering a record, up to 8
char inByte = 0;
int err_no = 0;        // verdict of the last record: 0 accepted (or none), 1 "?", 2 "E"
UploadWork work{};     // what the file will send, for the announcement and summary
long sent = 0;         // records sent
long notAccepted = 0;  // ... of them refused or answered without a verdict

// What was checked and what is sent: the file's stamp when checked, and the
// digests of the lines checked and of the lines read for sending.
FileStamp stamp;
uint64_t checkedDigest = kDigestStart;
uint64_t sentDigest = kDigestStart;
long lineNumber = 0;          // of the line read last, for the summary
unsigned long upperBits = 0;  // set by extended address records

// The port's lines: why it did not open, or that it did.
constexpr PortTexts kPortTexts{"Torvane", "OpenCom (1) failed with error %d.\n",
                               "Com Port(1) %s open at %d baud.\n"};
constexpr int32_t kVerdictTimeout = 5000;           // ms per byte of the answer to a record
constexpr int kVerdictBytes = 8;                    // answer bytes searched for a verdict
constexpr int32_t kDrainSilence = kTorvaneQuietMs;  // ms of silence that ends a drain

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Ends the run whose `stage` ended with `outcome`: says why (a wait's end as
// EndRun words it), hints after a wake-up left unanswered, then closes the
// file and the port where they are open and, once the port was open, sums
// the run up on standard error. Returns the exit status from
// kTorvaneStatuses.
int EndAt(Stage stage, Outcome outcome) {
    const int status = EndRunOnPort(kTorvaneStatuses, stage, outcome, comHandle);
    if (CloseFileAndPort(&fp, &comHandle)) {
        SummarizeUpload(sent, work.records, sent - notAccepted);
    }
    return status;
}

// File: a plain file only, opened and checked up to its end record before
// the port is touched, so a broken file never half-loads. Read in binary,
// since ReadTextLine treats CR LF and Ctrl-Z as text mode would on any host.
// Its stamp and the digest of its lines tell later whether what is sent is
// what was checked. Announces the work on standard error. Returns
// Outcome::kDone with fp open, or Outcome::kFileError with the reason
// printed.
Outcome CheckFile(const char* name) {
    fp = OpenRecordFile("Torvane", name, srcFileName, sizeof srcFileName, &stamp, &checkedDigest);
    if (fp == nullptr) {
        return Outcome::kFileError;
    }
    CountUploadWork(fp, &work);
    AnnounceUpload(work, TorvaneMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Sends the record in dataBuf: the colon wakes the monitor's record loader,
// the pause lets it get ready for the rest, which goes out in one write.
void SendRecord() {
    const int len = RecordLength(dataBuf);
    WriteComBytes(comHandle, ":", 1);
    PauseMs(kTorvaneColonPauseMs);
    dataBuf[RecordChars(len)] = '\0';
    std::printf("Len:%d Type:%d %s", len, RecordType(dataBuf), dataBuf);
    std::fflush(stdout);
    WriteComBytes(comHandle, dataBuf + 1, std::strlen(dataBuf + 1));
}

// Waits for the target's answer to a record: up to kVerdictBytes bytes, each
// within kVerdictTimeout ms, collected in tempBuf. Sets err_no (0 for "*" or
// no verdict, 1 for "?", 2 for "E"). Returns Outcome::kDone with the
// verdict character in inByte; Outcome::kBadAnswer when the bytes held
// none; Outcome::kSilent or Outcome::kPortLost when the target fell silent.
// A wait that a stop signal cut short is made once more, so the record sent
// still gets its verdict before the run stops.
Outcome WaitForVerdict() {
    std::memset(tempBuf, 0, sizeof tempBuf);
    err_no = 0;
    for (int count = 0; count < kVerdictBytes; ++count) {
        const bool stoppedBefore = StopSignal() != 0;
        inByte = static_cast<char>(WaitForComByte(comHandle, kVerdictTimeout));
        if (inByte == 0 && !stoppedBefore && StopSignal() != 0 && !ComPortGone(comHandle)) {
            inByte = static_cast<char>(WaitForComByte(comHandle, kVerdictTimeout));
        }
        if (inByte == 0) {
            return SilenceOn(comHandle);
        }
        tempBuf[count] = inByte;
        // Searched after every byte, so the verdict found is the byte just
        // received; "*" first, as a record is far more often accepted.
        if (std::strchr(tempBuf, '*') != nullptr) {
            return Outcome::kDone;
        }
        if (std::strchr(tempBuf, '?') != nullptr) {
            err_no = 1;
            return Outcome::kDone;
        }
        if (std::strchr(tempBuf, 'E') != nullptr) {
            err_no = 2;
            return Outcome::kDone;
        }
    }
    return Outcome::kBadAnswer;
}

// Awaits and shows the answer to the record just sent from the file's line
// lineNumber, loaded at `loadAddress`, counts it, and drains what follows
// it. A record answered without a verdict may or may not be stored, so it
// is not counted as accepted; the summary names every record not accepted.
// Returns Outcome::kDone, or Outcome::kSilent or Outcome::kPortLost when the
// target fell silent (the record counted as sent, not accepted), or
// Outcome::kChatter when the line never fell quiet after the answer.
Outcome TakeVerdict(unsigned long loadAddress) {
    const Outcome verdict = WaitForVerdict();
    ++sent;
    if (verdict != Outcome::kDone && verdict != Outcome::kBadAnswer) {
        ++notAccepted;
        NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
        return verdict;
    }
    if (verdict == Outcome::kBadAnswer) {
        std::printf(" ERROR! No Verdict\n");
        ++notAccepted;
        NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
    } else {
        std::printf("%s\n", std::strchr(tempBuf, inByte));
        if (err_no != 0) {
            ++notAccepted;
            NoteRecordNotAccepted(lineNumber, loadAddress, inByte);
        }
    }
    ProgressUpdate(sent);
    std::fflush(stdout);
    return DrainComInput(comHandle, kDrainSilence);
}

// Records: one at a time, each answer awaited before the next line is read.
// Returns Outcome::kDone after the last record (one not accepted counted,
// not ending the run), Outcome::kStopped, Outcome::kFileError with the
// reason printed, or how the wait for an answer ended.
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
        const Outcome answer = TakeVerdict(loadAddress);
        if (answer != Outcome::kDone) {
            return answer;
        }
        // A refused record gets the monitor a second to recover.
        PauseMs(err_no != 0 ? kRefusedPauseMs : kTorvaneAcceptedPauseMs);
    }
}

// Finish: "!" tells the monitor the upload is over; a port lost after the
// last verdict could not carry it, and the run must not read as done.
// Neither may a file that changed (the lines sent must be those checked, up
// to the same end), and after a stop nothing more is sent. Then closes the
// file and the port, says how the upload went and sums it up. Returns
// Outcome::kDone, or Outcome::kBadAnswer when a record was not accepted;
// Outcome::kPortLost, Outcome::kFileError (the reason printed) or
// Outcome::kStopped with nothing closed.
Outcome FinishUpload() {
    if (ComPortGone(comHandle)) {
        return Outcome::kPortLost;
    }
    if (sentDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return Outcome::kFileError;
    }
    if (StopSignal() != 0) {
        return Outcome::kStopped;
    }
    std::fclose(fp);
    fp = nullptr;
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
    SummarizeUpload(sent, work.records, sent - notAccepted);
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
    // Banner and arguments: nothing is copied that would not fit its buffer.
    std::printf("Z80 System Loader\n");
    Outcome outcome = TakeFileAndPort(argc, argv, 1, "Torvane {filename} {port}",
                                      sizeof srcFileName, sPortName, sizeof sPortName);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kArguments, outcome);
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: checked whole before the port is touched; the work announced.
    outcome = CheckFile(argv[1]);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kFile, outcome);
    }
    // Port: opened at comBaudRate, 8N2, or why not told with hints.
    outcome = OpenProgramPort(kPortTexts, sPortName, comBaudRate, argc > 2 ? argv[2] : nullptr,
                              &comHandle, &comError);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor, give it time to answer, collect "$$$".
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
    // Finish: "!" sent unless the run cannot count as done, everything
    // closed, the result told.
    return EndAt(Stage::kFinish, FinishUpload());
}
