// Ferrolt {filename} {port}: starts the target's BASIC and types a program
// text into it, one character at a time, checking the echo of each. The way
// each stage ends gives the exit status from exit_status.cpp.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/outcome.h"
#include "guidance/empty_work.h"
#include "guidance/guidance.h"
#include "guidance/hints.h"
#include "guidance/prompt_hints.h"
#include "guidance/text_hints.h"
#include "host/standard_streams.h"
#include "host/stop_signal.h"
#include "programs/ferrolt/basic_text.h"
#include "programs/ferrolt/exit_status.h"
#include "programs/ferrolt/pace.h"
#include "programs/ferrolt/typing_work.h"
#include "run/after_job.h"
#include "run/arguments.h"
#include "run/help.h"
#include "run/input_told.h"
#include "run/open_port.h"
#include "run/run_end.h"
#include "serial/serial_link.h"

namespace {

char sPortName[kComPortNameSize] = Z80_DEFAULT_COM_PORT;
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
char srcFileName[80];
char fileText[kMaxInputBytes];  // the whole text, read once
long fileLength = 0;
std::size_t fileAt = 0;  // where the next piece starts

char dataBuf[100];           // prompt texts, then the piece of the program being typed
int8_t inByte = 0;           // the echo received
int8_t outByte = 0;          // the character being typed
TypingWork work{};           // for the announcement and the summary
long linesTyped = 0;         // program lines typed to their end
long charsTyped = 0;         // characters typed
int missedEchoes = 0;        // characters typed without an echo
int missedInARow = 0;        // ... since the last echo that came
std::size_t mismatchAt = 0;  // index in dataBuf of a wrong echo's character
bool echoMismatch = false;   // a wrong echo stopped the typing
bool basicStarted = false;   // "B" sent: the board is in BASIC from then on
char untyped[33];            // after a wrong echo: what came that was not typed
bool echoFollowed = false;   // ... and the echo of the character typed came after it
AfterJob afterJob;           // what is done on the port once the program is typed

constexpr PortTexts kPortTexts{"OpenCom failed with error %d.\n", "Com Port %s open at %d baud.\n",
                               false};
// The BASIC's prompts are awaited with the handshake's figures.
constexpr std::size_t kPromptCapacity = kFerroltHandshake.capacity;
constexpr int32_t kPromptPauseMs = kFerroltHandshake.wakePauseMs;
constexpr int32_t kPromptByteMs = kFerroltHandshake.perByteMs;
constexpr int32_t kEchoMs = 1000;
// A lost echo is forgiven, but a target that stopped echoing altogether
// would cost a second a character for the rest of the file.
constexpr int kEchoesMissedInARow = 8;

// Pauses, then collects the target's text into dataBuf until `pattern`
// (WaitForPrompt); Outcome::kStopped, nothing read, after a stop.
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

// A second stop signal ends the run at once, from its handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Says why the run ends, closes the port and sums up; returns the status.
int EndAt(Stage stage, Outcome outcome) {
    const int status = EndRunOnPort(kFerroltStatuses, stage, outcome, comHandle);
    if (comHandle != kInvalidComPort) {
        CloseCom(comHandle);
        comHandle = kInvalidComPort;
        std::fflush(stdout);
        SummarizeTyping(linesTyped, work.lines, charsTyped);
        if (stage == Stage::kFinish && work.lines == 0) {
            NoteNothingTyped(srcFileName);
        }
    }
    if (echoMismatch) {
        HintEchoMismatch(dataBuf, mismatchAt, inByte);
        if (echoFollowed) {
            HintUntypedEcho(untyped, outByte);
        }
    }
    // A run that ended early leaves the board where the next run does not
    // expect it; a finished one is left in BASIC on purpose.
    if (basicStarted && status != 0) {
        HintBoardLeftInBasic();
    }
    return status;
}

// Reads and checks the text whole, so a text the target would store wrongly
// is refused with nothing typed; announces the work.
Outcome OpenProgramText(const char* name) {
    fileLength = ReadInputFileTold("Ferrolt", name, fileText, sizeof fileText);
    if (fileLength < 0) {
        return Outcome::kFileError;
    }
    std::strcpy(srcFileName, name);
    std::printf("FILE: '%s'  PORT: %s\n", srcFileName, sPortName);
    const auto length = static_cast<std::size_t>(fileLength);
    long badLine = 0;
    const char* why = CheckProgramText(fileText, length, &badLine);
    if (why != nullptr) {
        RefuseLine(srcFileName, badLine, why);
        if (why == kCrAloneWhy) {
            WriteGuidance(
                "Hint: old Mac line ends (a CR alone). Save it with LF or CR LF line ends.\n");
        }
        return Outcome::kFileError;
    }
    work = CountTypingWork(fileText, length);
    AnnounceTyping(work, FerroltMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Sends `command`, awaits `pattern`, shows what came with `format` and
// drains the answer's tail, so it is not taken for an echo.
Outcome AskBasic(const char* command, const char* pattern, const char* format) {
    if (StopSignal() != 0) {
        return Outcome::kStopped;
    }
    WriteComBytes(comHandle, command, 1);
    // From the "B" on, the board has left its monitor for BASIC.
    basicStarted = basicStarted || command[0] == 'B';
    const Outcome prompted = WaitForTargetPrompt(pattern);
    if (prompted != Outcome::kDone) {
        return prompted;
    }
    std::printf(format, dataBuf);
    std::fflush(stdout);
    return DrainComInput(comHandle, kFerroltSettleQuietMs);
}

// Starts BASIC and answers its memory question with a bare CR.
Outcome StartBasic() {
    const Outcome asked = AskBasic("B", "top?", " %s");
    if (asked != Outcome::kDone) {
        return asked;
    }
    return AskBasic("\r", "Ok", " %s\n");
}

// After a wrong echo, reads on (nothing is sent) until the echo of outByte
// comes or the line falls quiet, keeping in `untyped` what came that was not
// typed; `echoFollowed` tells whether outByte's own echo came after it.
void ReadPastMismatch() {
    std::size_t count = 0;
    untyped[count++] = static_cast<char>(inByte);
    while (count + 1 < sizeof untyped && StopSignal() == 0) {
        const unsigned char byte = WaitForComByte(comHandle, kFerroltLineQuietMs);
        if (byte == 0) {
            break;
        }
        if (byte == static_cast<unsigned char>(outByte)) {
            echoFollowed = true;
            break;
        }
        untyped[count++] = static_cast<char>(byte);
    }
    untyped[count] = '\0';
}

// Types dataBuf[i] and checks its echo. An echo from 0x80 up (negative
// here) is let pass: only a character the interpreter could type is wrong.
Outcome TypeCharacter(std::size_t i) {
    outByte = static_cast<int8_t>(dataBuf[i]);
    WriteComBytes(comHandle, &dataBuf[i], 1);
    if (outByte > 0x1F) {
        const Outcome echoed = WaitForEcho(comHandle, kEchoMs, StopSignal, &inByte);
        if (echoed == Outcome::kDone && inByte != outByte && inByte > 0) {
            std::printf("\n ERROR! Echo Mismatch inByte='%c'[%02X] outByte='%c' [%02X]", inByte,
                        static_cast<unsigned>(inByte), outByte, static_cast<unsigned>(outByte));
            NoteTranscriptLineOpen();
            echoMismatch = true;
            mismatchAt = i;
            ReadPastMismatch();
            return Outcome::kBadAnswer;
        }
        if (echoed != Outcome::kDone) {
            if (StopSignal() != 0 || echoed == Outcome::kPortLost ||
                ++missedInARow >= kEchoesMissedInARow) {
                return echoed;
            }
            ++missedEchoes;
            NoteEchoMissing(linesTyped + 1);
            if (DrainComInput(comHandle, kFerroltLineQuietMs) != Outcome::kDone) {
                return Outcome::kChatter;
            }
        } else {
            missedInARow = 0;
        }
    }
    std::putchar(dataBuf[i]);
    std::fflush(stdout);
    ++charsTyped;
    PauseMs(kFerroltCharPauseMs);
    return Outcome::kDone;
}

// Types the piece in dataBuf up to its end or a NUL, then a CR and a drain.
Outcome TypePiece(std::size_t length) {
    for (std::size_t i = 0; i < length && dataBuf[i] != '\0'; ++i) {
        const Outcome typed = TypeCharacter(i);
        if (typed != Outcome::kDone) {
            return typed;
        }
    }
    WriteComBytes(comHandle, "\r", 1);
    if (DrainComInput(comHandle, kFerroltLineQuietMs) != Outcome::kDone) {
        return Outcome::kChatter;
    }
    if (length > 0 && dataBuf[length - 1] == '\n') {
        ++linesTyped;
        ProgressUpdate(linesTyped);
    }
    return Outcome::kDone;
}

// Types the text piece by piece; a stop lands between pieces.
Outcome TypeProgram() {
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        const std::size_t length = NextPiece(fileText, static_cast<std::size_t>(fileLength),
                                             &fileAt, dataBuf, kMaxPieceChars + 1);
        if (length == 0) {
            break;
        }
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

// The last CR, the port closed, "Done..."; a port lost on the way could not
// have carried the text, so that is no success.
Outcome FinishTyping() {
    if (ComPortGone(comHandle)) {
        return Outcome::kPortLost;
    }
    WriteComBytes(comHandle, "\r", 1);
    PauseMs(kFerroltClosePauseMs);
    ProgressEnd();
    if (missedEchoes > 0) {
        std::printf(
            "\n WARNING! %d character(s) typed without an echo; check the program"
            " on the target",
            missedEchoes);
    }
    std::printf("\n Done...\n");
    std::fflush(stdout);
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
    // Banner and arguments: --run and what is done after the job first, from
    // anywhere.
    std::printf("Z80 Basic Loader  ");
    Outcome outcome = TakeAfterJobOptions(&argc, argv, kTakesRun, &afterJob) == 0
                          ? TakeFileAndPort(argc, argv, 1, "Ferrolt {filename} {port}",
                                            sizeof srcFileName, sPortName, sizeof sPortName)
                          : Outcome::kBadArguments;
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kArguments, outcome);
    }
    // From here a stop signal ends the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: read, checked and announced before the port opens.
    outcome = OpenProgramText(argv[1]);
    HintArguments("Ferrolt", argc, argv, 1, 2);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kFile, outcome);
    }
    // Port.
    outcome = OpenProgramPort(kPortTexts, sPortName, comBaudRate, argc > 2 ? argv[2] : nullptr,
                              &comHandle, &comError);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor, wait for its "$$$".
    char last = 0;
    outcome = Handshake(comHandle, kFerroltHandshake, dataBuf, sizeof dataBuf, &last, StopSignal);
    inByte = static_cast<int8_t>(last);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    // BASIC start.
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
    // Finish: the last CR, "Done...".
    outcome = FinishTyping();
    // After the job done: RUN, text sent, an answer awaited, a terminal.
    if (outcome == Outcome::kDone && WantsAfterJob(afterJob)) {
        outcome = RunAfterJob(comHandle, afterJob);
        if (outcome != Outcome::kDone) {
            return EndAt(Stage::kAfterJob, outcome);
        }
    }
    // The port closed, the run summed up.
    return EndAt(Stage::kFinish, outcome);
}
