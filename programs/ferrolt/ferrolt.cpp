// Ferrolt: starts the target's BASIC and types a program text into it, one
// character at a time, checking the interpreter's echo of each.
//
//   Ferrolt {filename} {port}
//
// The port is a COM port number ("//./COM10" without it). Exit status: 0 done;
// 1 no file argument, or a file or port argument too long; -1 the file cannot
// be opened or read, or holds a NUL byte or a line longer than 79 characters;
// 2 the port cannot be opened; 3 no answer while waiting for "$$$", "top?" or
// "Ok", no echo for kEchoesMissedInARow characters in a row, or the port
// lost; 4 an echo that differs from the character sent, or a target that
// never falls quiet while typing (3 while starting BASIC); 128 + n stopped
// by signal n (SIGINT, SIGTERM, SIGHUP). A file that changes while it is
// typed stops the run with -1.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "programs/common/arguments.h"
#include "programs/common/guidance.h"
#include "programs/common/help.h"
#include "programs/common/hints.h"
#include "programs/common/input_file.h"
#include "programs/common/run_end.h"
#include "programs/common/stop_signal.h"
#include "programs/common/text_file.h"
#include "programs/ferrolt/basic_text.h"
#include "programs/ferrolt/typing_work.h"
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
// allowing 3000 ms for each. Returns 0 when the pattern came, or 80 bytes did;
// -1 when the target fell silent or the port was lost, or a stop signal came
// before the wait (nothing is then read). The text collected stays in dataBuf, terminated,
// and the last byte stored in inByte.
int WaitForTargetPrompt(const char* pattern) {
    PauseMs(kPromptPauseMs);
    if (StopSignal() != 0) {
        return -1;
    }
    char last = 0;
    const Outcome result = WaitForPrompt(comHandle, dataBuf, sizeof dataBuf, pattern, kPromptByteMs,
                                         kPromptCapacity, &last);
    inByte = static_cast<int8_t>(last);
    return result == Outcome::kDone ? 0 : -1;
}

// Waits up to kEchoMs for the echo of the character just sent. A wait that a
// stop signal cut short is made once more, so the character in flight is
// finished before the run stops. Returns the echo, or 0 for none.
int8_t WaitForEcho() {
    const bool stoppedBefore = StopSignal() != 0;
    unsigned char echo = WaitForComByte(comHandle, kEchoMs);
    if (echo == 0 && !stoppedBefore && StopSignal() != 0 && !ComPortGone(comHandle)) {
        echo = WaitForComByte(comHandle, kEchoMs);
    }
    return static_cast<int8_t>(echo);
}

// A second stop signal ends the run at once, from the signal handler.
void StopAtOnce() {
    AbandonCom(comHandle);
    AbandonProgress();
}

// Closes the file, then the port, sums the run up on standard error, and
// gives back `status` for main to return.
int CloseAndExit(int status) {
    std::fclose(fp);
    CloseCom(comHandle);
    std::fflush(stdout);
    SummarizeTyping(linesTyped, work.lines, charsTyped);
    return status;
}

// Checks the arguments: the file name must fit srcFileName and the port
// argument, when given, sPortName (which it then sets). Returns 0, or 1
// after printing why not. Nothing is opened.
int TakeArguments(int argc, char* argv[]) {
    if (argc < 2) {
        std::printf("\n ERROR! Too Few Arguments\n Usage: Ferrolt {filename} {port}\n");
        return 1;
    }
    if (CheckFileNameFits(argv[1], sizeof srcFileName) != 0) {
        return 1;
    }
    if (argc > 2 && TakePortArgument(argv[2], sPortName, sizeof sPortName) != 0) {
        return 1;
    }
    return 0;
}

// Opens the program text `name` into fp (a plain file only) and checks it to
// its end, so a text the target would store wrongly is refused with nothing
// typed; takes its stamp and the digest of its pieces, which tell later
// whether what is typed is what was checked; prints the FILE line and
// announces the work on standard error. Returns 0 with fp open at its start,
// or -1 after printing why (fp closed).
int OpenProgramText(const char* name) {
    fp = OpenInputFile(name);
    if (fp == nullptr) {
        HintOptionLike("Ferrolt", name);
        return -1;
    }
    std::strcpy(srcFileName, name);
    std::printf("FILE: '%s'  PORT: %s\n", srcFileName, sPortName);
    StampFile(fp, &stamp);
    if (CheckProgramTextAndReport(fp, srcFileName, &checkedDigest) != 0) {
        std::fclose(fp);
        return -1;
    }
    CountTypingWork(fp, &work);
    AnnounceTyping(work, FerroltMs(work, kLeastAnswers));
    return 0;
}

// Opens sPortName into comHandle and prints the "Com Port" line. Returns 0,
// or 2 after printing why not (with hints; `portArgument` is the port as
// given, or nullptr) and closing fp.
int OpenPort(const char* portArgument) {
    comHandle = OpenCom(sPortName, comBaudRate, &comError);
    if (comHandle == kInvalidComPort) {
        std::printf("OpenCom failed with error %d.\n", static_cast<int>(comError));
        if (portArgument != nullptr) {
            HintPortArgument("Ferrolt", portArgument);
        }
        HintOpenFailure(sPortName, comError);
        std::fclose(fp);
        return 2;
    }
    std::printf("Com Port %s open at %d baud.\n", sPortName, static_cast<int>(comBaudRate));
    std::fflush(stdout);
    return 0;
}

// Sends `command` and waits for the interpreter's `pattern`, then prints
// what came with `format` and drains the answer's tail, so it is not taken
// for an echo. A stop before sending sends nothing. Returns 0, or the exit
// status after printing why (silence, a lost port, a stop, chatter).
int AskBasic(const char* command, const char* pattern, const char* format) {
    if (StopSignal() != 0) {
        return StoppedStatus();
    }
    WriteComBytes(comHandle, command, 1);
    if (WaitForTargetPrompt(pattern) != 0) {
        return SilenceStatus(comHandle, 3);
    }
    std::printf(format, dataBuf);
    std::fflush(stdout);
    if (DrainComInput(comHandle, kSettleDrainMs) != Outcome::kDone) {
        return ChatterStatus(3);
    }
    return 0;
}

// Wakes the monitor, starts the interpreter ("B") and answers its memory
// question with a bare CR. Returns 0 once BASIC said "Ok", or the exit
// status after printing why not; the file and port stay open.
int StartBasic() {
    char last = 0;
    const Outcome woken =
        Handshake(comHandle, kFerroltHandshake, dataBuf, sizeof dataBuf, &last, StopSignal);
    inByte = static_cast<int8_t>(last);
    if (woken == Outcome::kChatter) {
        return ChatterStatus(3);
    }
    if (woken != Outcome::kDone) {
        const int status = SilenceStatus(comHandle, 3);
        HintWakeUpSilence(comHandle);
        return status;
    }
    int status = AskBasic("B", "top?", " %s");
    if (status == 0) {
        status = AskBasic("\r", "Ok", " %s\n");
    }
    return status;
}

// Types dataBuf[i] and, for 0x20..0x7F, checks its echo: a wrong echo in
// 0x01..0x7F stops the typing (echoMismatch and mismatchAt set); a lost one
// is forgiven, counted and drained, unless a stop, a lost port or
// kEchoesMissedInARow of them in a row make it silence. An echo from 0x80
// up (negative here) is let pass: only a character the interpreter could
// have typed counts as wrong. Returns 0 once the character is typed and
// shown, else the exit status (the mismatch message printed here).
int TypeCharacter(std::size_t i) {
    outByte = static_cast<int8_t>(dataBuf[i]);
    WriteComBytes(comHandle, &dataBuf[i], 1);
    if (outByte > 0x1F) {
        inByte = WaitForEcho();
        if (inByte != outByte && inByte > 0) {
            std::printf("\n ERROR! Echo Mismatch inByte='%c'[%02X] outByte='%c' [%02X]", inByte,
                        static_cast<unsigned>(inByte), outByte, static_cast<unsigned>(outByte));
            echoMismatch = true;
            mismatchAt = i;
            return 4;
        }
        if (inByte == 0) {
            if (StopSignal() != 0 || ComPortGone(comHandle) ||
                ++missedInARow >= kEchoesMissedInARow) {
                return SilenceStatus(comHandle, 3);
            }
            ++missedEchoes;
            NoteEchoMissing(linesTyped + 1);
            if (DrainComInput(comHandle, kLineDrainMs) != Outcome::kDone) {
                return ChatterStatus(4);
            }
        } else {
            missedInARow = 0;
        }
    }
    std::putchar(dataBuf[i]);
    std::fflush(stdout);
    ++charsTyped;
    PauseMs(kCharPauseMs);
    return 0;
}

// Types the piece of `length` characters in dataBuf up to its end or a NUL
// byte, then a CR, and drains what follows. Returns 0, or the exit status.
int TypePiece(std::size_t length) {
    for (std::size_t i = 0; i < length && dataBuf[i] != '\0'; ++i) {
        const int status = TypeCharacter(i);
        if (status != 0) {
            return status;
        }
    }
    WriteComBytes(comHandle, "\r", 1);
    if (DrainComInput(comHandle, kLineDrainMs) != Outcome::kDone) {
        return ChatterStatus(4);
    }
    if (length > 0 && dataBuf[length - 1] == '\n') {
        ++linesTyped;
        ProgressUpdate(linesTyped);
    }
    return 0;
}

// Types the program text piece by piece, each ended with a CR. A stop lands
// between pieces: the piece in flight is typed to its CR first, unless the
// target falls silent. A file that changed since it was checked stops the
// typing. Returns 0 at the end of the file, or the exit status.
int TypeProgram() {
    for (;;) {
        if (StopSignal() != 0) {
            return StoppedStatus();
        }
        if (FileChangedSince(fp, stamp)) {
            std::printf(kFileChangedText, srcFileName);
            return -1;
        }
        std::size_t length = 0;
        const TextRead got = ReadTextPiece(fp, dataBuf, kMaxPieceChars + 1, &length);
        if (got == TextRead::kEnd) {
            break;
        }
        if (got == TextRead::kReadError) {
            std::printf("\nERROR: Cannot Read File '%s'\n", srcFileName);
            return -1;
        }
        AddToDigest(&typedDigest, dataBuf, length);
        const int status = TypePiece(length);
        if (status != 0) {
            return status;
        }
    }
    // A last line without a line end is typed all the same.
    if (linesTyped < work.lines) {
        linesTyped = work.lines;
        ProgressUpdate(linesTyped);
    }
    return 0;
}

// Ends a typing that reached the end of the file. A port lost on the way
// could not have carried the text, so that is no success, nor is a file
// that changed (the pieces typed must be those checked, up to the same
// end). Otherwise one more CR ends the last line the interpreter may hold,
// and the run ends with "Done...". Returns the exit status; file and port
// closed on every path.
int FinishTyping() {
    if (ComPortGone(comHandle)) {
        return CloseAndExit(SilenceStatus(comHandle, 3));
    }
    if (typedDigest != checkedDigest) {
        std::printf(kFileChangedText, srcFileName);
        return CloseAndExit(-1);
    }
    std::fclose(fp);
    WriteComBytes(comHandle, "\r", 1);
    PauseMs(kClosePauseMs);
    CloseCom(comHandle);
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
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, "Ferrolt") != 0) {
        return 0;
    }
    // Banner and arguments: every name must fit its buffer before anything opens.
    std::printf("Z80 Basic Loader  ");
    int status = TakeArguments(argc, argv);
    if (status != 0) {
        return status;
    }
    // From here Ctrl-C and SIGTERM (and SIGHUP where there is one) end the
    // run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: checked to its end and announced before the port opens.
    status = OpenProgramText(argv[1]);
    if (status != 0) {
        return status;
    }

    // Port.
    status = OpenPort(argc > 2 ? argv[2] : nullptr);
    if (status != 0) {
        return status;
    }

    // BASIC start: wake the monitor, start the interpreter, answer its
    // memory question. After a stop nothing more is sent.
    status = StartBasic();
    if (status != 0) {
        return CloseAndExit(status);
    }
    ProgressStart(work.lines, "lines", FerroltMs(work, kLeastAnswers));

    // Typing: a wrong echo stops the upload with the line left unterminated,
    // its hint given after the summary.
    status = TypeProgram();
    if (status != 0) {
        status = CloseAndExit(status);
        if (echoMismatch) {
            HintEchoMismatch(dataBuf, mismatchAt, inByte);
        }
        return status;
    }

    // Finish: the last CR, file and port closed, "Done...".
    return FinishTyping();
}
