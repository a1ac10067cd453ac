// Torvanex: loads an Intel HEX file into the target, record by record.
//
//   Torvanex {filename} {port}
//
// Exit status: 0 done; 1 bad arguments; 2 the file cannot be opened, read or
// is not a sound HEX file; 3 the port cannot be opened or the target did not
// answer the wake-up (or the port was lost then); 4 no verdict for a record
// (silence, the port lost, or chatter without a verdict); 5 done, but the
// target refused one or more records; 128 + n stopped by signal n (SIGINT,
// SIGTERM, SIGHUP). A file that changes during the upload stops it with 2.
#include <cerrno>
#include <chrono>
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

// Closes the file, then the port, sums the run up on standard error, and
// gives back `status` for main to return.
int CloseAndExit(int status) {
    std::fclose(fp);
    CloseCom(fdPort);
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - refused);
    return status;
}

// Waits for the target's verdict on the record just sent, skipping any other
// byte. Sets err_no (0 for "*", 1 for "?", 2 for "E"); the verdict is left in
// inByte. Returns 0 with a verdict; -1 after kVerdictWaits silent waits of
// kVerdictTimeout ms (at once when the port is lost; after one more whole
// wait when a stop signal cut a wait short, and after the first silent wait
// once a stop came, so a stopped run still hears the verdict on its last
// record); -2 when kVerdictChatterBytes other bytes, or kVerdictLimitMs ms in
// all, passed without a verdict.
int WaitForVerdict() {
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
                return -1;
            }
            continue;
        }
        if (inByte == '*') {
            return 0;
        }
        if (inByte == '?' || inByte == 'E') {
            err_no = inByte == '?' ? 1 : 2;
            return 0;
        }
        if (++skipped >= kVerdictChatterBytes || std::chrono::steady_clock::now() >= giveUp) {
            return -2;
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, "Torvanex") != 0) {
        return 0;
    }
    // Banner and arguments.
    std::printf("Z80 System Loader\n");
    if (argc < 2) {
        std::printf("\n ERROR! Too Few Arguments\n Usage: ./Torvanex {filename} {port}\n");
        return 1;
    }
    if (CheckFileNameFits(argv[1], sizeof srcFileName) != 0) {
        return 1;
    }
    if (argc > 2) {
        if (std::strlen(argv[2]) >= sizeof sPortName) {
            std::printf("\n ERROR! Port name too long (at most %zu characters)\n",
                        sizeof sPortName - 1);
            return 1;
        }
        std::strcpy(sPortName, argv[2]);
    }
    // From here Ctrl-C, SIGTERM and SIGHUP end the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: a plain file only, opened and checked up to its end record before
    // the port is touched, so a broken file never half-loads. Its stamp and
    // the digest of its lines tell later whether what is sent is what was
    // checked.
    fp = OpenInputFile(argv[1]);
    if (fp == nullptr) {
        HintOptionLike("Torvanex", argv[1]);
        return 2;
    }
    std::strcpy(srcFileName, argv[1]);
    std::printf("FILE: '%s'\n", srcFileName);
    FileStamp stamp;
    StampFile(fp, &stamp);
    uint64_t checkedDigest = kDigestStart;
    if (CheckRecordFileAndReport(fp, srcFileName, &checkedDigest) != 0) {
        std::fclose(fp);
        return 2;
    }
    // Announced on standard error: the work, and about how long it takes.
    CountUploadWork(fp, &work);
    AnnounceUpload(work, TorvanexMs(work, kLeastAnswers));

    // Port.
    int32_t comError = 0;
    fdPort = OpenCom(sPortName, 9600, &comError);
    if (fdPort == kInvalidComPort) {
        std::printf("OpenCom(%s) failed with error %d.\n", sPortName, errno);
        HintOpenFailure(sPortName, comError);
        std::fclose(fp);
        return 3;
    }
    std::printf("Serial Port %s open at 9600 Baud", sPortName);
    std::fflush(stdout);

    // Handshake: wake the monitor, wait for its "$$$", settle the line.
    if (Handshake(fdPort, kTorvanexHandshake, dataBuf, sizeof dataBuf, &inByte) != 0) {
        const int status = SilenceStatus(fdPort, 3);
        HintWakeUpSilence(fdPort);
        return CloseAndExit(status);
    }
    ProgressStart(work.records, "records", TorvanexMs(work, kLeastAnswers));

    // Records, one at a time, each verdict awaited before the next line is
    // read. A stop lands between records: the record in flight is sent whole
    // and its verdict awaited first.
    uint64_t sentDigest = kDigestStart;
    long lineNumber = 0;          // of the line read last, for the summary
    unsigned long upperBits = 0;  // set by extended address records
    for (;;) {
        if (StopSignal() != 0) {
            return CloseAndExit(StoppedStatus());
        }
        if (FileChangedSince(fp, stamp)) {
            std::printf(kFileChangedText, srcFileName);
            return CloseAndExit(2);
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
            return CloseAndExit(2);
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

        // Colon, a pause and a flush of stale input, then the record one
        // character at a time so the monitor keeps up.
        const unsigned long loadAddress = RecordLoadAddress(dataBuf, &upperBits);
        WriteComBytes(fdPort, ":", 1);
        dataBuf[RecordChars(len)] = '\0';
        std::printf("Len:%d Type:%d ", len, type);
        PauseMs(kTorvanexColonPauseMs);
        FlushComInput(fdPort);
        for (std::size_t i = 1; dataBuf[i] != '\0'; ++i) {
            WriteComBytes(fdPort, &dataBuf[i], 1);
            std::putchar(dataBuf[i]);
            std::fflush(stdout);
            PauseMs(kTorvanexCharPauseMs);
        }

        // Verdict: other bytes are skipped, but not without end.
        int verdict = WaitForVerdict();
        if (verdict < 0) {
            // Sent, but no verdict: the summary names it.
            ++sent;
            ++refused;
            NoteRecordNotAccepted(lineNumber, loadAddress, '\0');
        }
        if (verdict == -1) {
            return CloseAndExit(SilenceStatus(fdPort, 4));
        }
        if (verdict == -2) {
            std::printf("\n ERROR! No Verdict from target: it kept sending other bytes\n");
            return CloseAndExit(4);
        }
        std::printf("%c\r\n", inByte);
        ++sent;
        if (err_no != 0) {
            ++refused;
            NoteRecordNotAccepted(lineNumber, loadAddress, inByte);
        }
        ProgressUpdate(sent);
        if (StopSignal() != 0) {
            return CloseAndExit(StoppedStatus());
        }
        PauseMs(err_no != 0 ? kRefusedPauseMs : kTorvanexAcceptedPauseMs);
        FlushComInput(fdPort);
    }

    // Finish: the lines sent must be those checked, up to the same end (a
    // file cut short meets its end early). A refused record means the
    // program on the target is incomplete.
    if (sentDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return CloseAndExit(2);
    }
    std::fclose(fp);
    CloseCom(fdPort);
    ProgressEnd();
    if (refused > 0) {
        std::printf(" WARNING! %ld record(s) refused by the target\n", refused);
    }
    std::printf("Done\r\n");
    std::fflush(stdout);
    SummarizeUpload(sent, work.records, sent - refused);
    return refused > 0 ? 5 : 0;
}
