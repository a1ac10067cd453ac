// Quilmark: saves a range of the target's memory as an Intel HEX file.
//
//   Quilmark {start address} {end address} {filename} {com port}
//
// Addresses are one to four hex digits, either case. The monitor is asked for
// 16 bytes at a time, from the start address while the address asked for is
// below the end address, so the file covers the range rounded up to whole
// 16-byte records. The port is a COM port number (on POSIX hosts also a
// device path); without it "//./COM10" is used.
//
//   Quilmark --verify {filename} {com port}
//
// reads back every data byte of a HEX file instead and says whether the
// target holds the file (verify.cpp). "--verify" is never an address.
//
// Exit status: 0 done; 1 bad arguments; -1 the output file cannot be created;
// 2 the port cannot be opened; 3 the target did not answer the wake-up;
// 4 the target fell silent during a request; 5 the target's answers to a
// request were not sound; 6 the output file could not be written or closed.
// 128 + n stopped by signal n (SIGINT, SIGTERM, SIGHUP). A port lost counts
// as silence (3 at the wake-up, 4 in the dump); a target that never falls
// quiet as no answer (3) or an unsound one (5).
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
#include "hexrec/dump_text.h"
#include "programs/common/arguments.h"
#include "programs/common/guidance.h"
#include "programs/common/help.h"
#include "programs/common/hints.h"
#include "programs/common/run_end.h"
#include "programs/common/stop_signal.h"
#include "programs/quilmark/dump_request.h"
#include "programs/quilmark/saved_file.h"
#include "programs/quilmark/verify.h"
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
// milliseconds, closes the port. Returns `status` for main to return, or
// kStatusFileError when the file could not be kept (the output is then left
// as it was; the message is printed here unless a write error was already
// reported). Both are closed on every path.
int CloseAndExit(int status, bool keep) {
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
    if (!kept && status != kStatusFileError) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        status = kStatusFileError;
    }
    std::fflush(stdout);
    return status;
}

// Saves the 16 bytes at startAddress as one data record: reads them
// (ReadDumpAnswer: up to kAnswerTries requests, each failed try shown), shows
// the sound answer followed by "*" and writes it behind its ":10AAAA00"
// header. Returns kStatusDone when the record was written; kStatusSilent or
// kStatusBadAnswer when no try brought a sound answer (nothing was written);
// kStatusFileError when the record could not be written (the message is
// printed).
int SaveRecord() {
    const int status = ReadDumpAnswer();
    if (status != kStatusDone) {
        return status;
    }
    std::printf("\n %04X %s*", static_cast<unsigned>(startAddress), dataBuf);
    std::fflush(stdout);
    char line[sizeof ":10AAAA00" + sizeof dataBuf];  // header, answer, line end
    std::snprintf(line, sizeof line, ":10%04X00%s\n", static_cast<unsigned>(startAddress), dataBuf);
    return WriteFileText(line) == 0 ? kStatusDone : kStatusFileError;
}

// Checks the arguments of a save: the start and end addresses (each read
// into startAddress and endAddress and printed upper-cased), the file name,
// which must fit srcFileName, and the port argument, when given, which must
// fit sPortName (which it then sets). Returns kStatusDone, or
// kStatusArguments after printing why not. Nothing is opened.
int TakeArguments(int argc, char* argv[]) {
    if (argc < 4) {
        std::printf(
            "\n ERROR! Too Few Arguments\n Usage: Quilmark {start address} {end address} "
            "{filename} {com port}\n");
        return kStatusArguments;
    }
    int32_t address = ParseHexAddress(argv[1]);
    if (address < 0) {
        std::printf("\n ERROR! Bad Start Address '%s' (give one to four hex digits)\n", argv[1]);
        HintOptionLike("Quilmark", argv[1]);
        return kStatusArguments;
    }
    startAddress = static_cast<uint32_t>(address);
    UpperCase(argv[1]);
    std::printf("Start [%s] (%d)", argv[1], static_cast<int>(startAddress));
    address = ParseHexAddress(argv[2]);
    if (address < 0) {
        std::printf("\n ERROR! Bad End Address '%s' (give one to four hex digits)\n", argv[2]);
        return kStatusArguments;
    }
    endAddress = static_cast<uint32_t>(address);
    UpperCase(argv[2]);
    std::printf("  End [%s] (%d)\n", argv[2], static_cast<int>(endAddress));
    if (CheckFileNameFits(argv[3], sizeof srcFileName) != 0) {
        return kStatusArguments;
    }
    if (argc > 4 && TakePortArgument(argv[4], sPortName, sizeof sPortName) != 0) {
        return kStatusArguments;
    }
    return kStatusDone;
}

// Creates the temporary file beside the output `name` into fp, in text mode
// so lines end as the host's text files do; creating it shows the folder can
// be written before the port is touched, and the output itself is only
// replaced at the end. Prints the FILE line and announces the requests on
// standard error. Returns kStatusDone, or kStatusNoFile (the reason printed).
int CreateOutput(const char* name) {
    fp = CreateSavedFile(name);
    if (fp == nullptr) {
        return kStatusNoFile;
    }
    std::snprintf(srcFileName, sizeof srcFileName, "%s", name);
    std::printf("FILE: '%s'\n", srcFileName);
    work.requests =
        startAddress < endAddress ? static_cast<long>((endAddress - startAddress + 15) / 16) : 0;
    AnnounceDump(work, startAddress, QuilmarkMs(work, kLeastAnswers));
    return kStatusDone;
}

// Saves one record per request from startAddress while it is below
// endAddress; startAddress is 32 bits wide, so the step past the last
// record of memory (FFF0) ends the loop instead of wrapping. A stop signal
// ends it between records. Returns kStatusDone when the range was saved,
// else the status of the stop or of the record that failed (startAddress
// then its address), the reason printed.
int DumpRange() {
    int status = kStatusDone;
    while (startAddress < endAddress && status == kStatusDone) {
        if (StopSignal() != 0) {
            break;
        }
        status = SaveRecord();
        if (status == kStatusDone) {
            startAddress += kDumpBytes;
            ++saved;
            ProgressUpdate(saved);
        }
    }
    if (StopSignal() != 0 && status != kStatusFileError &&
        (status != kStatusDone || startAddress < endAddress)) {
        status = StoppedStatus();
    } else if (status == kStatusSilent || status == kStatusBadAnswer) {
        NoteAddressNotRead(startAddress);
        std::printf(
            "\n ERROR! Memory at %04X could not be read; the file holds what was saved before "
            "it\n",
            static_cast<unsigned>(startAddress));
    }
    return status;
}

// Ends the save with the dump's `status`: the end record goes in after a
// failed request too, so what was saved stays a valid file, which replaces
// the output. A run that saved nothing and did not finish, and one whose
// file could not be written, leave the output as it was. Prints "Done..."
// on success and sums the run up on standard error. Returns the exit status;
// file and port closed.
int FinishSave(int status) {
    const bool keep = status != kStatusFileError && (status == kStatusDone || saved > 0);
    if (keep && WriteFileText(":00000001FF\n\n") != 0) {
        status = kStatusFileError;
    }
    status = CloseAndExit(status, keep && status != kStatusFileError);
    if (status == kStatusDone) {
        std::printf("\n Done...\n");
    }
    std::fflush(stdout);
    SummarizeDump(saved, work.requests);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, "Quilmark") != 0) {
        return 0;
    }
    // Verify: "--verify" first asks for the verify of a loaded file instead.
    if (AsksForVerify(argc, argv)) {
        return VerifyLoad(argc, argv);
    }
    // Banner and arguments: everything is checked before the file is created.
    std::printf("Z80 Save Data\n");
    int status = TakeArguments(argc, argv);
    if (status != kStatusDone) {
        return status;
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: a temporary file beside the output, renamed onto it at the end.
    status = CreateOutput(argv[3]);
    if (status != kStatusDone) {
        return status;
    }

    // Port.
    status = OpenPort(argc > 4 ? argv[4] : nullptr);
    if (status != kStatusDone) {
        DiscardSavedFile(fp);
        return status;
    }

    // Handshake: wake the monitor and wait for its "$$$".
    status = WakeTarget();
    if (status != kStatusDone) {
        return CloseAndExit(status, false);
    }
    ProgressStart(work.requests, "requests", QuilmarkMs(work, kLeastAnswers));

    // Dump: one record per request, the file kept valid when it stops early.
    status = DumpRange();

    // Finish: the end record, the output replaced, file and port closed.
    return FinishSave(status);
}
