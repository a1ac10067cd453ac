// Quilmark: saves a range of the target's memory as an Intel HEX file.
//
//   Quilmark {start address} {end address} {filename} {com port}
//
// Addresses are one to four hex digits, either case. The monitor is asked for
// 16 bytes at a time, from the start address while the address asked for is
// below the end address, so the file covers the range rounded up to whole
// 16-byte records. The port is a COM port number (on POSIX hosts also a
// device path); without it "//./COM10" is used (/dev/ttyUSB0 on POSIX hosts).
//
//   Quilmark --verify {filename} {com port}
//
// reads back every data byte of a HEX file instead and says whether the
// target holds the file (verify.cpp). "--verify" is never an address.
//
// The run goes through its stages in order (arguments, file, port,
// handshake, requests, finish); the way a stage ends gives the exit status
// from Quilmark's table (exit_status.cpp), which the help lists. A port lost
// counts as silence (3 at the wake-up, 4 in the dump); a target that never
// falls quiet as no answer (3) or an unsound one (5).
//
// The dump goes to a temporary file beside the output, renamed onto it at
// the end. After 4, 5 and a stop in the dump the file holds the records saved
// before the failing address and ends with the end-of-file record, so it is
// still a valid HEX file. A run that ends before any record was saved (and
// one whose file could not be written, 6) leaves an existing file untouched
// and creates none.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/outcome.h"
#include "guidance/exit_status.h"
#include "guidance/guidance.h"
#include "guidance/help.h"
#include "guidance/hints.h"
#include "hexrec/dump_text.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "programs/quilmark/dump_request.h"
#include "programs/quilmark/exit_status.h"
#include "programs/quilmark/saved_file.h"
#include "programs/quilmark/verify.h"
#include "run/arguments.h"
#include "serial/serial_link.h"

namespace {

char srcFileName[80];
std::FILE* fp = nullptr;
uint32_t endAddress = 0;  // requests stop once startAddress reaches it
DumpWork work{};          // the requests the range takes, for the guidance
long saved = 0;           // records written

// Upper-cases the letters of `text` in place.
void UpperCase(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = static_cast<char>(*text - 'a' + 'A');
        }
    }
}

// Puts `text` into the output file and flushes it, so a full disk shows at
// the record it hits rather than at the close. A record is shorter than the
// stream's buffer, so it leaves in one write: a run stopped or killed between
// records never leaves half a line behind. Returns 0, or -1 after printing
// the file error message; the file stays open either way.
int WriteFileText(const char* text) {
    if (std::fputs(text, fp) < 0 || std::fflush(fp) != 0) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        return -1;
    }
    return 0;
}

// A second stop signal ends the run at once, from the signal handler: the
// output stays as it was.
void StopAtOnce() {
    AbandonSavedFile();
    AbandonCom(comHandle);
    AbandonProgress();
}

// Closes the output file, keeping what it holds in the output's place when
// `keep` is set and discarding it otherwise, then, after a pause of kQuietMs
// milliseconds, closes the port. Returns Outcome::kDone, or
// Outcome::kFileError when the file could not be kept (the message printed;
// the output is then left as it was). Both are closed on every path.
Outcome CloseOutput(bool keep) {
    bool kept = true;
    if (keep) {
        kept = KeepSavedFile(fp) == 0;
    } else {
        DiscardSavedFile(fp);
    }
    fp = nullptr;
    PauseMs(kQuietMs);
    CloseCom(comHandle);
    comHandle = kInvalidComPort;
    if (!kept) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        return Outcome::kFileError;
    }
    return Outcome::kDone;
}

// Ends a save whose `stage` ended with `outcome` before the dump began: says
// why (EndStage), then discards the temporary file and closes the port
// where they are open. Returns the exit status from kQuilmarkStatuses.
int EndBeforeDump(Stage stage, Outcome outcome) {
    const int status = EndStage(stage, outcome);
    if (comHandle != kInvalidComPort) {
        CloseOutput(false);
    } else if (fp != nullptr) {
        DiscardSavedFile(fp);
        fp = nullptr;
    }
    std::fflush(stdout);
    return status;
}

// Saves the 16 bytes at startAddress as one data record: reads them
// (ReadDumpAnswer: up to kAnswerTries requests, each failed try shown), shows
// the sound answer followed by "*" and writes it behind its ":10AAAA00"
// header. Returns Outcome::kDone when the record was written; how the reading
// ended when no try brought a sound answer (nothing was written);
// Outcome::kFileError when the record could not be written (the message is
// printed).
Outcome SaveRecord() {
    const Outcome answered = ReadDumpAnswer();
    if (answered != Outcome::kDone) {
        return answered;
    }
    std::printf("\n %04X %s*", static_cast<unsigned>(startAddress), dataBuf);
    std::fflush(stdout);
    char line[sizeof ":10AAAA00" + sizeof dataBuf];  // header, answer, line end
    std::snprintf(line, sizeof line, ":10%04X00%s\n", static_cast<unsigned>(startAddress), dataBuf);
    return WriteFileText(line) == 0 ? Outcome::kDone : Outcome::kFileError;
}

// Arguments of a save: the start and end addresses (each read into
// startAddress and endAddress and printed upper-cased), the file name, which
// must fit srcFileName, and the port argument, when given, which must fit
// sPortName (which it then sets). Returns Outcome::kDone, or
// Outcome::kBadArguments after printing why not. Nothing is opened.
Outcome TakeArguments(int argc, char* argv[]) {
    if (CheckArgumentCount(argc, 4,
                           "Quilmark {start address} {end address} {filename} {com port}") != 0) {
        if (argc > 1) {
            HintOptionLike("Quilmark", argv[1]);
        }
        HintVerifyOption();
        return Outcome::kBadArguments;
    }
    int32_t address = ParseHexAddress(argv[1]);
    if (address < 0) {
        std::printf("\n ERROR! Bad Start Address '%s' (give one to four hex digits)\n", argv[1]);
        HintOptionLike("Quilmark", argv[1]);
        return Outcome::kBadArguments;
    }
    startAddress = static_cast<uint32_t>(address);
    UpperCase(argv[1]);
    std::printf("Start [%s] (%d)", argv[1], static_cast<int>(startAddress));
    address = ParseHexAddress(argv[2]);
    if (address < 0) {
        std::printf("\n ERROR! Bad End Address '%s' (give one to four hex digits)\n", argv[2]);
        return Outcome::kBadArguments;
    }
    endAddress = static_cast<uint32_t>(address);
    UpperCase(argv[2]);
    std::printf("  End [%s] (%d)\n", argv[2], static_cast<int>(endAddress));
    if (CheckFileNameFits(argv[3], sizeof srcFileName) != 0) {
        return Outcome::kBadArguments;
    }
    if (argc > 4 && TakePortArgument(argv[4], sPortName, sizeof sPortName) != 0) {
        return Outcome::kBadArguments;
    }
    return Outcome::kDone;
}

// File: creates the temporary file beside the output `name` into fp, in text
// mode so lines end as the host's text files do; creating it shows the
// folder can be written before the port is touched, and the output itself
// is only replaced at the end. Prints the FILE line and announces the
// requests on standard error. Returns Outcome::kDone, or Outcome::kFileError
// (the reason printed).
Outcome CreateOutput(const char* name) {
    fp = CreateSavedFile(name);
    if (fp == nullptr) {
        return Outcome::kFileError;
    }
    std::snprintf(srcFileName, sizeof srcFileName, "%s", name);
    std::printf("FILE: '%s'\n", srcFileName);
    work.requests =
        startAddress < endAddress ? static_cast<long>((endAddress - startAddress + 15) / 16) : 0;
    AnnounceDump(work, startAddress, QuilmarkMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Requests: one record per request from startAddress while it is below
// endAddress; startAddress is 32 bits wide, so the step past the last
// record of memory (FFF0) ends the loop instead of wrapping. A stop signal
// ends it between records. Returns Outcome::kDone when the range was saved;
// Outcome::kStopped; else how the record at startAddress failed, after
// saying the memory there could not be read (a file that could not be
// written was told as such).
Outcome DumpRange() {
    Outcome outcome = Outcome::kDone;
    while (startAddress < endAddress && outcome == Outcome::kDone) {
        if (StopSignal() != 0) {
            break;
        }
        outcome = SaveRecord();
        if (outcome == Outcome::kDone) {
            startAddress += kDumpBytes;
            ++saved;
            ProgressUpdate(saved);
        }
    }
    if (StopSignal() != 0 && outcome != Outcome::kFileError &&
        (outcome != Outcome::kDone || startAddress < endAddress)) {
        return Outcome::kStopped;
    }
    if (outcome != Outcome::kDone && outcome != Outcome::kFileError) {
        NoteAddressNotRead(startAddress);
        std::printf(
            "\n ERROR! Memory at %04X could not be read; the file holds what was saved before "
            "it\n",
            static_cast<unsigned>(startAddress));
    }
    return outcome;
}

// Finish, however the requests ended (`dumped`): the reason is told first,
// then the end record goes in after a failed request too, so what was saved
// stays a valid file, which replaces the output. A run that saved nothing
// and did not finish, and one whose file could not be written, leave the
// output as it was. Prints "Done..." on success and sums the run up on
// standard error. Returns the exit status; file and port closed.
int FinishSave(Outcome dumped) {
    int status = EndStage(dumped == Outcome::kDone ? Stage::kFinish : Stage::kRequests, dumped);
    const bool keep = dumped != Outcome::kFileError && (dumped == Outcome::kDone || saved > 0);
    Outcome finished = Outcome::kDone;
    if (keep && WriteFileText(":00000001FF\n\n") != 0) {
        finished = Outcome::kFileError;
    }
    if (CloseOutput(keep && finished == Outcome::kDone) != Outcome::kDone) {
        finished = Outcome::kFileError;
    }
    if (finished != Outcome::kDone) {
        status = EndStage(Stage::kFinish, finished);
    } else if (dumped == Outcome::kDone) {
        std::printf("\n Done...\n");
    }
    std::fflush(stdout);
    SummarizeDump(saved, work.requests);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Standard streams: a closed one becomes the null device, so no file or
    // port takes its number; a lost one costs only the transcript.
    SettleStandardStreams();
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, kQuilmarkHelp) != 0) {
        return 0;
    }
    // Verify: "--verify" first asks for the verify of a loaded file instead.
    if (AsksForVerify(argc, argv)) {
        return VerifyLoad(argc, argv);
    }
    // Banner and arguments: everything is checked before the file is created.
    std::printf("Z80 Save Data\n");
    Outcome outcome = TakeArguments(argc, argv);
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kArguments, outcome);
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: a temporary file beside the output, renamed onto it at the end.
    outcome = CreateOutput(argv[3]);
    HintArguments(argc, argv, 3, 2);
    if (outcome == Outcome::kDone && argc == 4) {
        HintNumberAsFileName(argv[3], argv[1], argv[2]);
    }
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kFile, outcome);
    }
    // Port.
    outcome = OpenPort(argc > 4 ? argv[4] : nullptr);
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor and wait for its "$$$".
    outcome = WakeTarget();
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kHandshake, outcome);
    }
    ProgressStart(work.requests, "requests", QuilmarkMs(work, kLeastAnswers));

    // Requests: one record per request, the file kept valid when they stop
    // early.
    outcome = DumpRange();

    // Finish: the end record, the output replaced, file and port closed.
    return FinishSave(outcome);
}
