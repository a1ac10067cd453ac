// Torvane: loads an Intel HEX file into the target, record by record, and
// marks the end of the upload with "!".
//
//   Torvane {filename} {port}
//
// The port is a COM port number (3 opens COM3, 12 opens //./COM12); without
// it //./COM10 is opened. Where the program is built for a POSIX host, the
// port may also be a device path, and COMn stands for /dev/ttyS{n-1}.
//
// Exit status: 0 done; 1 bad arguments; -1 the file cannot be opened or read,
// or is not a sound HEX file; 2 the port cannot be opened; 3 no answer to the
// wake-up (or the port lost, or a line that never fell quiet, then); 4 no
// answer after a record (the same); 5 done, but one or more records were not
// accepted by the target; 128 + n stopped by signal n (SIGINT, SIGTERM,
// SIGHUP). A file that changes during the upload stops it with -1.
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "hexrec/hexrec.h"
#include "programs/common/arguments.h"
#include "programs/common/guidance.h"
#include "programs/common/help.h"
#include "programs/common/hints.h"
#include "programs/common/input_file.h"
#include "programs/common/record_file.h"
#include "programs/common/run_end.h"
#include "programs/common/stop_signal.h"
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

constexpr int32_t kVerdictTimeout = 5000;           // ms per byte of the answer to a record
constexpr int kVerdictBytes = 8;                    // answer bytes searched for a verdict
constexpr int32_t kDrainSilence = kTorvaneQuietMs;  // ms of silence that ends a drain

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Closes the file, then the port, sums the run up on standard error, and
// gives back `status` for main to return. Both must be open.
int CloseAndExit(int status) {
    std::fclose(fp);
    CloseCom(comHandle);
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - notAccepted);
    return status;
}

// Waits for the target's answer to a record: up to kVerdictBytes bytes, each
// within kVerdictTimeout ms, collected in tempBuf. Sets err_no (0 for "*" or
// no verdict, 1 for "?", 2 for "E").
// Returns the verdict character, '\0' when the bytes held none, or -1 when the
// target fell silent. A wait that a stop signal cut short is made once more,
// so the record sent still gets its verdict before the run stops.
int WaitForVerdict() {
    std::memset(tempBuf, 0, sizeof tempBuf);
    err_no = 0;
    for (int count = 0; count < kVerdictBytes; ++count) {
        const bool stoppedBefore = StopSignal() != 0;
        inByte = static_cast<char>(WaitForComByte(comHandle, kVerdictTimeout));
        if (inByte == 0 && !stoppedBefore && StopSignal() != 0 && !ComPortGone(comHandle)) {
            inByte = static_cast<char>(WaitForComByte(comHandle, kVerdictTimeout));
        }
        if (inByte == 0) {
            return -1;
        }
        tempBuf[count] = inByte;
        // Searched after every byte, so the verdict found is the byte just
        // received; "*" first, as a record is far more often accepted.
        if (std::strchr(tempBuf, '*') != nullptr) {
            return '*';
        }
        if (std::strchr(tempBuf, '?') != nullptr) {
            err_no = 1;
            return '?';
        }
        if (std::strchr(tempBuf, 'E') != nullptr) {
            err_no = 2;
            return 'E';
        }
    }
    return '\0';
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, "Torvane") != 0) {
        return 0;
    }
    // Banner and arguments: nothing is copied that would not fit its buffer.
    std::printf("Z80 System Loader\n");
    if (argc < 2) {
        std::printf("\n ERROR! Too Few Arguments\n Usage: Torvane {filename} {port}\n");
        return 1;
    }
    if (CheckFileNameFits(argv[1], sizeof srcFileName) != 0) {
        return 1;
    }
    if (argc > 2 && TakePortArgument(argv[2], sPortName, sizeof sPortName) != 0) {
        return 1;
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: a plain file only, opened and checked up to its end record before
    // the port is touched, so a broken file never half-loads. Read in binary,
    // since ReadTextLine treats CR LF and Ctrl-Z as text mode would on any
    // host. Its stamp and the digest of its lines tell later whether what is
    // sent is what was checked.
    fp = OpenInputFile(argv[1]);
    if (fp == nullptr) {
        HintOptionLike("Torvane", argv[1]);
        return -1;
    }
    std::strcpy(srcFileName, argv[1]);
    std::printf("FILE: '%s'\n", srcFileName);
    FileStamp stamp;
    StampFile(fp, &stamp);
    uint64_t checkedDigest = kDigestStart;
    if (CheckRecordFileAndReport(fp, srcFileName, &checkedDigest) != 0) {
        std::fclose(fp);
        return -1;
    }
    // Announced on standard error: the work, and about how long it takes.
    CountUploadWork(fp, &work);
    AnnounceUpload(work, TorvaneMs(work, kLeastAnswers));

    // Port.
    comHandle = OpenCom(sPortName, comBaudRate, &comError);
    if (comHandle == kInvalidComPort) {
        std::printf("OpenCom (1) failed with error %d.\n", comError);
        if (argc > 2) {
            HintPortArgument("Torvane", argv[2]);
        }
        HintOpenFailure(sPortName, comError);
        std::fclose(fp);
        return 2;
    }
    std::printf("Com Port(1) %s open at %d baud.\n", sPortName, comBaudRate);
    std::fflush(stdout);

    // Handshake: wake the monitor, give it time to answer, collect "$$$".
    const int woken = Handshake(comHandle, kTorvaneHandshake, dataBuf, sizeof dataBuf, &inByte);
    if (woken == kHandshakeSilent) {
        const int status = SilenceStatus(comHandle, 3);
        HintWakeUpSilence(comHandle);
        return CloseAndExit(status);
    }
    if (woken == kHandshakeNeverQuiet) {
        return CloseAndExit(ChatterStatus(3));
    }
    ProgressStart(work.records, "records", TorvaneMs(work, kLeastAnswers));

    // Records, one at a time, each answer awaited before the next line is read.
    uint64_t sentDigest = kDigestStart;
    long lineNumber = 0;          // of the line read last, for the summary
    unsigned long upperBits = 0;  // set by extended address records
    for (;;) {
        if (StopSignal() != 0) {
            return CloseAndExit(StoppedStatus());
        }
        if (FileChangedSince(fp, stamp)) {
            std::printf(kFileChangedText, srcFileName);
            return CloseAndExit(-1);
        }
        std::size_t length = 0;
        int got = ReadTextLine(fp, dataBuf, sizeof dataBuf, &length);
        if (got == kLineEndOfFile) {
            break;
        }
        ++lineNumber;
        // The file was sound when checked; a failure now means it changed or
        // the disk failed, and a guessed record must not reach the target.
        if (got != kLineRead || (length > 0 && CheckRecordLine(dataBuf, length) != nullptr)) {
            std::printf("\nERROR: Cannot Read File '%s'\n", srcFileName);
            return CloseAndExit(-1);
        }
        AddToDigest(&sentDigest, dataBuf, length);
        if (length == 0) {
            continue;
        }
        int len = RecordLength(dataBuf);
        int type = RecordType(dataBuf);
        if (IsEndRecord(len, type)) {
            break;
        }

        // The colon wakes the monitor's record loader; the pause lets it get
        // ready for the rest, which goes out in one write.
        const unsigned long loadAddress = RecordLoadAddress(dataBuf, &upperBits);
        WriteComBytes(comHandle, ":", 1);
        PauseMs(kTorvaneColonPauseMs);
        dataBuf[RecordChars(len)] = '\0';
        std::printf("Len:%d Type:%d %s", len, type, dataBuf);
        std::fflush(stdout);
        WriteComBytes(comHandle, dataBuf + 1, std::strlen(dataBuf + 1));

        int verdict = WaitForVerdict();
        if (verdict < 0) {
            // Sent, but no verdict: the summary names it.
            ++sent;
            ++notAccepted;
            NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
            return CloseAndExit(SilenceStatus(comHandle, 4));
        }
        if (verdict == '\0') {
            // The target answered, but not with a verdict: the record may or
            // may not be stored, so it is not counted as accepted.
            std::printf(" ERROR! No Verdict\n");
            ++notAccepted;
            NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
        } else {
            std::printf("%s\n", std::strchr(tempBuf, verdict));
            if (err_no != 0) {
                ++notAccepted;
                NoteRecordNotAccepted(lineNumber, loadAddress, static_cast<char>(verdict));
            }
        }
        ++sent;
        ProgressUpdate(sent);
        std::fflush(stdout);
        if (DrainComInput(comHandle, kDrainSilence) != 0) {
            return CloseAndExit(ChatterStatus(4));
        }
        // A refused record gets the monitor a second to recover.
        PauseMs(err_no != 0 ? kRefusedPauseMs : kTorvaneAcceptedPauseMs);
    }

    // Finish: "!" tells the monitor the upload is over; a port lost after the
    // last verdict could not carry it, and the run must not read as done.
    // Neither may a file that changed (the lines sent must be those checked,
    // up to the same end), and after a stop nothing more is sent.
    if (ComPortGone(comHandle)) {
        return CloseAndExit(SilenceStatus(comHandle, 4));
    }
    if (sentDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return CloseAndExit(-1);
    }
    if (StopSignal() != 0) {
        return CloseAndExit(StoppedStatus());
    }
    std::fclose(fp);
    WriteComBytes(comHandle, "!", 1);
    PauseMs(kTorvaneClosePauseMs);
    CloseCom(comHandle);
    ProgressEnd();
    if (notAccepted > 0) {
        std::printf(" WARNING! %ld record(s) not accepted by the target\n", notAccepted);
    }
    std::printf("\n Done...\n");
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - notAccepted);
    return notAccepted > 0 ? 5 : 0;
}
