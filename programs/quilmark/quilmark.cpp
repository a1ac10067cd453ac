// Quilmark {start address} {end address} {filename} {com port}: saves the
// target's memory from the start address, 16 bytes a record, while the
// address asked for is below the end address; with --verify first, checks a
// loaded file instead (verify.cpp). The way each stage ends gives the exit
// status from exit_status.cpp. The dump goes to a temporary file beside the
// output, renamed onto it at the end; after a failed request or a stop it
// still ends with the end record, and a run that saved nothing leaves an
// existing file untouched.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "dialogue/outcome.h"
#include "guidance/empty_work.h"
#include "guidance/guidance.h"
#include "guidance/hints.h"
#include "hexrec/dump_text.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "programs/quilmark/dump_request.h"
#include "programs/quilmark/exit_status.h"
#include "programs/quilmark/saved_file.h"
#include "programs/quilmark/verify.h"
#include "run/after_job.h"
#include "run/arguments.h"
#include "run/exit_status.h"
#include "run/help.h"
#include "serial/serial_link.h"

namespace {

char srcFileName[80];
DumpSession session;  // the port and the buffers of the conversation
std::FILE* fp = nullptr;
uint32_t endAddress = 0;  // requests stop once the next address reaches it
DumpWork work{};          // the requests the range takes, for the guidance
long saved = 0;           // records written
AfterJob afterJob;        // what is done on the port once the range is saved

// After the file `name` was taken with no port after it: when it is all
// digits, the file name may have been left out (`start`, `end`: the
// addresses as given).
void HintNumberAsFileName(const char* name, const char* start, const char* end) {
    if (*name == '\0' || std::strspn(name, "0123456789") != std::strlen(name)) {
        return;
    }
    static char text[512];
    std::snprintf(text, sizeof text,
                  "Hint: the memory is saved to a file named '%s'. If %s was meant as the port, "
                  "give the file name before it: Quilmark %s %s saved.hex %s\n",
                  name, name, start, end, name);
    WriteGuidance(text);
}

// After the usage line: the program's other use, --verify.
void HintVerifyOption() {
    WriteGuidance(
        "Hint: to check a loaded file against the target's memory: Quilmark --verify "
        "{filename} {com port}\n");
}

// Upper-cases the letters of `text` in place.
void UpperCase(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = static_cast<char>(*text - 'a' + 'A');
        }
    }
}

// Writes `text` to the file and flushes it, so a full disk shows at the
// record it hits, and a record, shorter than the stream's buffer, leaves in
// one write. Returns -1 with the message printed on failure.
int WriteFileText(const char* text) {
    if (std::fputs(text, fp) < 0 || std::fflush(fp) != 0) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        return -1;
    }
    return 0;
}

// A second stop signal ends the run at once, from its handler, the output
// as it was.
void StopAtOnce() {
    AbandonSavedFile();
    AbandonCom(session.comHandle);
    AbandonProgress();
}

// Closes the file, kept in the output's place or discarded, then lets the
// line fall quiet; the port stays open. Outcome::kFileError, the message
// printed, when it could not be kept.
Outcome CloseOutput(bool keep) {
    bool kept = true;
    if (keep) {
        kept = KeepSavedFile(fp) == 0;
    } else {
        DiscardSavedFile(fp);
    }
    fp = nullptr;
    PauseMs(kQuietMs);
    if (!kept) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        return Outcome::kFileError;
    }
    return Outcome::kDone;
}

// Ends a save before the dump began: says why, discards the temporary file,
// closes the port; returns the status.
int EndBeforeDump(Stage stage, Outcome outcome) {
    const int status = EndStage(session, stage, outcome);
    if (session.comHandle != kInvalidComPort) {
        CloseOutput(false);
        CloseCom(session.comHandle);
        session.comHandle = kInvalidComPort;
    } else if (fp != nullptr) {
        DiscardSavedFile(fp);
        fp = nullptr;
    }
    std::fflush(stdout);
    return status;
}

// Reads the 16 bytes at the next address, shows the sound answer and writes it
// as a data record. Returns how the reading or the writing ended.
Outcome SaveRecord() {
    const Outcome answered = ReadDumpAnswer(&session);
    if (answered != Outcome::kDone) {
        return answered;
    }
    std::printf("\n %04X %s*", static_cast<unsigned>(session.startAddress), session.dataBuf);
    std::fflush(stdout);
    char line[sizeof ":10AAAA00" + sizeof session.dataBuf];  // header, answer, line end
    std::snprintf(line, sizeof line, ":10%04X00%s\n", static_cast<unsigned>(session.startAddress),
                  session.dataBuf);
    return WriteFileText(line) == 0 ? Outcome::kDone : Outcome::kFileError;
}

// The addresses (shown upper-cased), the file name and the port, each known
// to fit. Outcome::kBadArguments with why printed; nothing is opened.
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
    session.startAddress = static_cast<uint32_t>(address);
    UpperCase(argv[1]);
    std::printf("Start [%s] (%d)", argv[1], static_cast<int>(session.startAddress));
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
    if (argc > 4 && TakePortArgument(argv[4], session.sPortName, sizeof session.sPortName) != 0) {
        return Outcome::kBadArguments;
    }
    return Outcome::kDone;
}

// Creates the temporary file, in text mode so lines end as the host's text
// files do, which shows the folder can be written before the port is
// touched; announces the requests.
Outcome CreateOutput(const char* name) {
    fp = CreateSavedFile(name);
    if (fp == nullptr) {
        return Outcome::kFileError;
    }
    std::snprintf(srcFileName, sizeof srcFileName, "%s", name);
    std::printf("FILE: '%s'\n", srcFileName);
    work.requests = session.startAddress < endAddress
                        ? static_cast<long>((endAddress - session.startAddress + 15) / 16)
                        : 0;
    AnnounceDump(work, session.startAddress, QuilmarkMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// One record per request while the next address is below endAddress; it is 32
// bits wide, so the step past FFF0 ends the loop instead of wrapping. A stop
// lands between records; memory that cannot be read is said so.
Outcome DumpRange() {
    Outcome outcome = Outcome::kDone;
    while (session.startAddress < endAddress && outcome == Outcome::kDone) {
        if (StopSignal() != 0) {
            break;
        }
        outcome = SaveRecord();
        if (outcome == Outcome::kDone) {
            session.startAddress += kDumpBytes;
            ++saved;
            ProgressUpdate(saved);
        }
    }
    if (StopSignal() != 0 && outcome != Outcome::kFileError &&
        (outcome != Outcome::kDone || session.startAddress < endAddress)) {
        return Outcome::kStopped;
    }
    if (outcome != Outcome::kDone && outcome != Outcome::kFileError) {
        NoteAddressNotRead(session.startAddress);
        std::printf(
            "\n ERROR! Memory at %04X could not be read; the file holds what was saved before "
            "it\n",
            static_cast<unsigned>(session.startAddress));
    }
    return outcome;
}

// However the requests ended: the reason told, the end record written after
// a failed request too, so what was saved stays a valid file that replaces
// the output; "Done..." on success, then what is done after the job.
// Returns the status, all closed.
int FinishSave(Outcome dumped) {
    int status =
        EndStage(session, dumped == Outcome::kDone ? Stage::kFinish : Stage::kRequests, dumped);
    const bool keep = dumped != Outcome::kFileError && (dumped == Outcome::kDone || saved > 0);
    Outcome finished = Outcome::kDone;
    if (keep && WriteFileText(":00000001FF\n\n") != 0) {
        finished = Outcome::kFileError;
    }
    if (CloseOutput(keep && finished == Outcome::kDone) != Outcome::kDone) {
        finished = Outcome::kFileError;
    }
    if (finished != Outcome::kDone) {
        status = EndStage(session, Stage::kFinish, finished);
    } else if (dumped == Outcome::kDone) {
        std::printf("\n Done...\n");
        std::fflush(stdout);
        const Outcome after =
            WantsAfterJob(afterJob) ? RunAfterJob(session.comHandle, afterJob) : Outcome::kDone;
        if (after != Outcome::kDone) {
            status = EndStage(session, Stage::kAfterJob, after);
        }
    }
    CloseCom(session.comHandle);
    session.comHandle = kInvalidComPort;
    std::fflush(stdout);
    SummarizeDump(saved, work.requests);
    if (dumped == Outcome::kDone && work.requests == 0) {
        NoteNothingSaved();
    }
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
    // Banner and arguments: everything is checked before the file is created;
    // what is done after the job first, from anywhere.
    std::printf("Z80 Save Data\n");
    Outcome outcome = TakeAfterJobOptions(&argc, argv, 0, &afterJob) == 0
                          ? TakeArguments(argc, argv)
                          : Outcome::kBadArguments;
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kArguments, outcome);
    }
    // From here a stop signal ends the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: a temporary file beside the output, renamed onto it at the end.
    outcome = CreateOutput(argv[3]);
    HintArguments("Quilmark", argc, argv, 3, 2);
    if (outcome == Outcome::kDone && argc == 4) {
        HintNumberAsFileName(argv[3], argv[1], argv[2]);
    }
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kFile, outcome);
    }
    // Port.
    outcome = OpenSessionPort(&session, argc > 4 ? argv[4] : nullptr);
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor and wait for its "$$$".
    outcome = Handshake(session.comHandle, kQuilmarkHandshake, session.dataBuf,
                        sizeof session.dataBuf, &session.inByte);
    if (outcome != Outcome::kDone) {
        return EndBeforeDump(Stage::kHandshake, outcome);
    }
    ProgressStart(work.requests, "requests", QuilmarkMs(work, kLeastAnswers));

    // Requests: one record per request, the file kept valid when they stop
    // early.
    outcome = DumpRange();

    // Finish: the end record, the output replaced, what is done after the
    // job, file and port closed.
    return FinishSave(outcome);
}
