// Ferrolt: starts the target's BASIC and types a program text into it, one
// character at a time, checking the interpreter's echo of each.
//
//   Ferrolt {filename} {port}
//
// The port is a COM port number ("//./COM10" without it).
//
// The run goes through its stages in order (arguments, file, port,
// handshake, BASIC start, typing, finish); the way a stage ends gives the
// exit status from Ferrolt's table (exit_status.cpp), which the help lists.
// Silence while starting BASIC ends the run with 3, and so do
// kEchoesMissedInARow echoes missing in a row while typing; a target that
// never falls quiet gives 3 while BASIC starts and 4 while typing, as a
// wrong echo does. A file that changes while it is typed stops the run as
// one that cannot be read does (-1).
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "dialogue/outcome.h"
#include "guidance/guidance.h"
#include "guidance/help.h"
#include "guidance/hints.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "input_file/input_file.h"
#include "input_file/text_file.h"
#include "programs/ferrolt/basic_text.h"
#include "programs/ferrolt/exit_status.h"
#include "programs/ferrolt/typing_work.h"
#include "run/arguments.h"
#include "run/open_port.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[kComPortNameSize] = "//./COM10";
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
std::FILE* fp = nullptr;
char srcFileName[80];
char dataBuf[100];                      // prompt texts, then the piece of the program being typed
int8_t inByte = 0;                      // the echo received
int8_t outByte = 0;                     // the character being typed
TypingWork work{};                      // what the text will take, for the announcement and summary
long linesTyped = 0;                    // program lines typed to their end
long charsTyped = 0;                    // characters typed
FileStamp stamp;                        // the file as it was checked
uint64_t checkedDigest = kDigestStart;  // digest of the pieces checked
uint64_t typedDigest = kDigestStart;    // ... and of the pieces typed
int missedEchoes = 0;                   // characters typed without an echo
int missedInARow = 0;                   // ... since the last echo that came
std::size_t mismatchAt = 0;             // index in dataBuf of a wrong echo's character
bool echoMismatch = false;              // a wrong echo stopped the typing

// The port's lines: why it did not open, or that it did.
constexpr PortTexts kPortTexts{"Ferrolt", "OpenCom failed with error %d.\n",
                               "Com Port %s open at %d baud.\n"};
// The BASIC's own prompts are awaited with the handshake's figures.
constexpr std::size_t kPromptCapacity = kFerroltHandshake.capacity;
constexpr int32_t kPromptPauseMs = kFerroltHandshake.wakePauseMs;  // before collecting a prompt
constexpr int32_t kPromptByteMs = kFerroltHandshake.perByteMs;     // allowed per byte of a prompt
constexpr int32_t kSettleDrainMs = kFerroltSettleQuietMs;  // quiet that ends a prompt's tail
constexpr int32_t kEchoMs = 1000;                          // allowed for one character's echo
constexpr int32_t kLineDrainMs = kFerroltLineQuietMs;      // quiet after a piece or a lost echo
constexpr int32_t kCharPauseMs = kFerroltCharPauseMs;      // after every character typed
constexpr int32_t kClosePauseMs = kFerroltClosePauseMs;    // lets the last CR leave
// A lost echo is forgiven, but a target that stopped echoing altogether
// would otherwise cost a second a character for the rest of the file.
constexpr int kEchoesMissedInARow = 8;

// Waits for `pattern` in what the target sends: pauses 250 ms (nothing is
// read meanwhile), clears 80 bytes of dataBuf and collects up to 80 bytes,
// allowing 3000 ms for each. Returns Outcome::kDone when the pattern came,
// or 80 bytes did; Outcome::kSilent or Outcome::kPortLost when the target
// fell silent (as WaitForPrompt); Outcome::kStopped when a stop signal came
// before the wait (nothing is then read). The text collected stays in
// dataBuf, terminated, and the last byte stored in inByte.
Outcome WaitForTargetPrompt(const char* pattern) {
    PauseMs(kPromptPauseMs);
    if (StopSignal() != 0) {
        return Outcome::kStopped;
    }
    char last = 0;
    const Outcome result = WaitForPrompt(comHandle, dataBuf, sizeof dataBuf, pattern, kPromptByteMs,
                                         kPromptCapacity, &last);
    inByte = static_cast<int8_t>(last);
    return result;
}

// Waits up to kEchoMs for the echo of the character just sent and stores it
// in inByte (0 for none). A wait that a stop signal cut short is made once
// more, so the character in flight is finished before the run stops.
// Returns Outcome::kDone when an echo came; Outcome::kSilent, or
// Outcome::kPortLost once the port was found gone, when none did.
Outcome WaitForEcho() {
    const bool stoppedBefore = StopSignal() != 0;
    unsigned char echo = WaitForComByte(comHandle, kEchoMs);
    if (echo == 0 && !stoppedBefore && StopSignal() != 0 && !ComPortGone(comHandle)) {
        echo = WaitForComByte(comHandle, kEchoMs);
    }
    inByte = static_cast<int8_t>(echo);
    return echo != 0 ? Outcome::kDone : SilenceOn(comHandle);
}

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Ends the run whose `stage` ended with `outcome`: says why (a wait's end as
// EndRun words it), hints after a wake-up left unanswered, then closes the
// file and the port where they are open and, once the port was open, sums
// the run up on standard error; a wrong echo gets its hint last. Returns the
// exit status from kFerroltStatuses.
int EndAt(Stage stage, Outcome outcome) {
    const int status = EndRunOnPort(kFerroltStatuses, stage, outcome, comHandle);
    if (CloseFileAndPort(&fp, &comHandle)) {
        SummarizeTyping(linesTyped, work.lines, charsTyped);
    }
    if (echoMismatch) {
        HintEchoMismatch(dataBuf, mismatchAt, inByte);
    }
    return status;
}

// File: opens the program text `name` into fp (a plain file only) and checks
// it to its end, so a text the target would store wrongly is refused with
// nothing typed; takes its stamp and the digest of its pieces, which tell
// later whether what is typed is what was checked; prints the FILE line and
// announces the work on standard error. Returns Outcome::kDone with fp open
// at its start, or Outcome::kFileError with the reason printed (fp then
// open when the text was found unsound).
Outcome OpenProgramText(const char* name) {
    fp = OpenInputFile(name);
    if (fp == nullptr) {
        HintOptionLike("Ferrolt", name);
        return Outcome::kFileError;
    }
    std::strcpy(srcFileName, name);
    std::printf("FILE: '%s'  PORT: %s\n", srcFileName, sPortName);
    StampFile(fp, &stamp);
    if (CheckProgramTextAndReport(fp, srcFileName, &checkedDigest) != 0) {
        return Outcome::kFileError;
    }
    CountTypingWork(fp, &work);
    AnnounceTyping(work, FerroltMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Sends `command` and waits for the interpreter's `pattern`, then prints
// what came with `format` and drains the answer's tail, so it is not taken
// for an echo. A stop before sending sends nothing. Returns Outcome::kDone,
// Outcome::kStopped, how the prompt wait ended, or Outcome::kChatter when
// the line never fell quiet after the prompt.
Outcome AskBasic(const char* command, const char* pattern, const char* format) {
    if (StopSignal() != 0) {
        return Outcome::kStopped;
    }
    WriteComBytes(comHandle, command, 1);
    const Outcome prompted = WaitForTargetPrompt(pattern);
    if (prompted != Outcome::kDone) {
        return prompted;
    }
    std::printf(format, dataBuf);
    std::fflush(stdout);
    return DrainComInput(comHandle, kSettleDrainMs);
}

// BASIC start: starts the interpreter ("B") and answers its memory question
// with a bare CR, on a monitor already woken. Returns Outcome::kDone once
// BASIC said "Ok", else as AskBasic.
Outcome StartBasic() {
    const Outcome asked = AskBasic("B", "top?", " %s");
    if (asked != Outcome::kDone) {
        return asked;
    }
    return AskBasic("\r", "Ok", " %s\n");
}

// Types dataBuf[i] and, for 0x20..0x7F, checks its echo: a wrong echo in
// 0x01..0x7F stops the typing (echoMismatch and mismatchAt set); a lost one
// is forgiven, counted and drained, unless a stop, a lost port or
// kEchoesMissedInARow of them in a row end the typing. An echo from 0x80 up
// (negative here) is let pass: only a character the interpreter could have
// typed counts as wrong. Returns Outcome::kDone once the character is typed
// and shown; Outcome::kBadAnswer for a wrong echo (the mismatch message
// printed); Outcome::kSilent or Outcome::kPortLost for echoes that stopped
// (a stop then counts as such, see EndRun); Outcome::kChatter when the line
// never fell quiet after a lost echo.
Outcome TypeCharacter(std::size_t i) {
    outByte = static_cast<int8_t>(dataBuf[i]);
    WriteComBytes(comHandle, &dataBuf[i], 1);
    if (outByte > 0x1F) {
        const Outcome echoed = WaitForEcho();
        if (echoed == Outcome::kDone && inByte != outByte && inByte > 0) {
            std::printf("\n ERROR! Echo Mismatch inByte='%c'[%02X] outByte='%c' [%02X]", inByte,
                        static_cast<unsigned>(inByte), outByte, static_cast<unsigned>(outByte));
            echoMismatch = true;
            mismatchAt = i;
            return Outcome::kBadAnswer;
        }
        if (echoed != Outcome::kDone) {
            if (StopSignal() != 0 || echoed == Outcome::kPortLost ||
                ++missedInARow >= kEchoesMissedInARow) {
                return echoed;
            }
            ++missedEchoes;
            NoteEchoMissing(linesTyped + 1);
            if (DrainComInput(comHandle, kLineDrainMs) != Outcome::kDone) {
                return Outcome::kChatter;
            }
        } else {
            missedInARow = 0;
        }
    }
    std::putchar(dataBuf[i]);
    std::fflush(stdout);
    ++charsTyped;
    PauseMs(kCharPauseMs);
    return Outcome::kDone;
}

// Types the piece of `length` characters in dataBuf up to its end or a NUL
// byte, then a CR, and drains what follows. Returns Outcome::kDone, else as
// TypeCharacter (Outcome::kChatter also for the drain after the CR).
Outcome TypePiece(std::size_t length) {
    for (std::size_t i = 0; i < length && dataBuf[i] != '\0'; ++i) {
        const Outcome typed = TypeCharacter(i);
        if (typed != Outcome::kDone) {
            return typed;
        }
    }
    WriteComBytes(comHandle, "\r", 1);
    if (DrainComInput(comHandle, kLineDrainMs) != Outcome::kDone) {
        return Outcome::kChatter;
    }
    if (length > 0 && dataBuf[length - 1] == '\n') {
        ++linesTyped;
        ProgressUpdate(linesTyped);
    }
    return Outcome::kDone;
}

// Typing: the program text piece by piece, each ended with a CR. A stop
// lands between pieces: the piece in flight is typed to its CR first,
// unless the target falls silent. A file that changed since it was checked,
// or cannot be read, stops the typing. Returns Outcome::kDone at the end of
// the file, Outcome::kStopped, Outcome::kFileError with the reason printed,
// or as TypePiece.
Outcome TypeProgram() {
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        if (FileChangedSince(fp, stamp)) {
            std::printf(kFileChangedText, srcFileName);
            return Outcome::kFileError;
        }
        std::size_t length = 0;
        const TextRead got = ReadTextPiece(fp, dataBuf, kMaxPieceChars + 1, &length);
        if (got == TextRead::kEnd) {
            break;
        }
        if (got == TextRead::kReadError) {
            std::printf("\nERROR: Cannot Read File '%s'\n", srcFileName);
            return Outcome::kFileError;
        }
        AddToDigest(&typedDigest, dataBuf, length);
        const Outcome typed = TypePiece(length);
        if (typed != Outcome::kDone) {
            return typed;
        }
    }
    // A last line without a line end is typed all the same.
    if (linesTyped < work.lines) {
        linesTyped = work.lines;
        ProgressUpdate(linesTyped);
    }
    return Outcome::kDone;
}

// Finish, after the end of the file: a port lost on the way could not have
// carried the text, so that is no success, nor is a file that changed (the
// pieces typed must be those checked, up to the same end). Otherwise one
// more CR ends the last line the interpreter may hold; the file and the
// port are closed, "Done..." printed and the run summed up. Returns
// Outcome::kDone; Outcome::kPortLost, or Outcome::kFileError with the
// reason printed, with nothing closed.
Outcome FinishTyping() {
    if (ComPortGone(comHandle)) {
        return Outcome::kPortLost;
    }
    if (typedDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return Outcome::kFileError;
    }
    std::fclose(fp);
    fp = nullptr;
    WriteComBytes(comHandle, "\r", 1);
    PauseMs(kClosePauseMs);
    CloseCom(comHandle);
    comHandle = kInvalidComPort;
    ProgressEnd();
    if (missedEchoes > 0) {
        std::printf(
            "\n WARNING! %d character(s) typed without an echo; check the program"
            " on the target",
            missedEchoes);
    }
    std::printf("\n Done...\n");
    std::fflush(stdout);
    SummarizeTyping(linesTyped, work.lines, charsTyped);
    return Outcome::kDone;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Standard streams: a closed one becomes the null device, so no file or
    // port takes its number; a lost one costs only the transcript.
    SettleStandardStreams();
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, kFerroltHelp) != 0) {
        return 0;
    }
    // Banner and arguments: every name must fit its buffer before anything opens.
    std::printf("Z80 Basic Loader  ");
    Outcome outcome = TakeFileAndPort(argc, argv, 1, "Ferrolt {filename} {port}",
                                      sizeof srcFileName, sPortName, sizeof sPortName);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kArguments, outcome);
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: checked to its end and announced before the port opens.
    outcome = OpenProgramText(argv[1]);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kFile, outcome);
    }
    // Port: opened at comBaudRate, 8N2, or why not told with hints.
    outcome = OpenProgramPort(kPortTexts, sPortName, comBaudRate, argc > 2 ? argv[2] : nullptr,
                              &comHandle, &comError);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor and collect its "$$$"; after a stop
    // nothing more is sent.
    char last = 0;
    outcome = Handshake(comHandle, kFerroltHandshake, dataBuf, sizeof dataBuf, &last, StopSignal);
    inByte = static_cast<int8_t>(last);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    // BASIC start: the interpreter started and its memory question answered,
    // each answer's tail drained so it is not taken for an echo.
    outcome = StartBasic();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kBasicStart, outcome);
    }
    ProgressStart(work.lines, "lines", FerroltMs(work, kLeastAnswers));

    // Typing: a wrong echo stops the upload with the line left unterminated.
    outcome = TypeProgram();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kTyping, outcome);
    }
    // Finish: the last CR, file and port closed, "Done...".
    return EndAt(Stage::kFinish, FinishTyping());
}
