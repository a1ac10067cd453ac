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
// Exit status: 0 done; 1 bad arguments; -1 the output file cannot be created;
// 2 the port cannot be opened; 3 the target did not answer the wake-up;
// 4 the target fell silent during a request; 5 the target's answers to a
// request were not sound; 6 the output file could not be written or closed.
// 128 + n stopped by signal n (SIGINT, SIGTERM). A port lost counts as
// silence (3 at the wake-up, 4 in the dump); a target that never falls quiet
// as no answer (3) or an unsound one (5). After 4, 5 and a stop in the dump
// the file holds the records saved before the failing address and ends with
// the end-of-file record, so it is still a valid HEX file.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "hexrec/dump_text.h"
#include "programs/common/arguments.h"
#include "programs/common/help.h"
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
char dataBuf[50];          // prompt text, then the request, then the answer
int32_t dataBufIndex = 0;  // characters of the current answer received
char inByte = 0;
uint32_t startAddress = 0;  // address of the next request
uint32_t endAddress = 0;    // requests stop once startAddress reaches it

constexpr int kStatusDone = 0;
constexpr int kStatusArguments = 1;
constexpr int kStatusNoFile = -1;
constexpr int kStatusNoPort = 2;
constexpr int kStatusNoWake = 3;
constexpr int kStatusSilent = 4;
constexpr int kStatusBadAnswer = 5;
constexpr int kStatusFileError = 6;

constexpr int32_t kPromptTimeout = 5000;  // ms per byte of the prompt
constexpr std::size_t kPromptCapacity = 40;
constexpr int32_t kAnswerTimeout = 5000;  // ms per byte of a reply to a request
constexpr int32_t kQuietMs = 25;          // quiet that ends a drain
constexpr std::size_t kAnswerClear = 40;  // bytes of dataBuf cleared before an answer
constexpr int kAnswerTries = 3;           // requests for one address before giving up

static_assert(kAnswerClear <= sizeof dataBuf && kDumpAnswerChars < kAnswerClear,
              "an answer must stay terminated inside dataBuf");

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

// Closes the output file, then, after a pause of kQuietMs milliseconds, the
// port. Returns `status` for main to return, or kStatusFileError when the
// file did not close cleanly (its last lines may be lost; the message is
// printed here unless a write error was already reported). Both are closed
// on every path.
int CloseAndExit(int status) {
    const bool closed = std::fclose(fp) == 0;
    fp = nullptr;
    PauseMs(kQuietMs);
    CloseCom(comHandle);
    comHandle = kInvalidComPort;
    if (!closed && status != kStatusFileError) {
        std::printf("\nERROR: Cannot Write File '%s'\n", srcFileName);
        status = kStatusFileError;
    }
    std::fflush(stdout);
    return status;
}

// Sends one dump request for startAddress (";", then "10" and the address as
// four upper-case hex digits) and collects the answer into dataBuf:
// dataBufIndex characters, terminated, at most kDumpAnswerChars. Each wait
// for a byte is kAnswerTimeout milliseconds; whatever follows the answer is
// drained until kQuietMs milliseconds of quiet. Returns 0 when
// kDumpAnswerChars characters came, -1 when the target fell silent (or sent a
// NUL, or the port was lost, or a stop signal came) before that; dataBuf then
// holds what did come. Returns -2 when the drain gave up on a target that
// kept talking.
int RequestDump() {
    // The byte that opens each reply says nothing the answer does not, so it
    // is read only to keep it out of the answer; a timeout costs just the wait.
    WriteComBytes(comHandle, ";", 1);
    inByte = static_cast<char>(WaitForComByte(comHandle, kAnswerTimeout));
    std::snprintf(dataBuf, sizeof dataBuf, "10%04X", static_cast<unsigned>(startAddress & 0xFFFF));
    WriteComBytes(comHandle, dataBuf, 6);
    inByte = static_cast<char>(WaitForComByte(comHandle, kAnswerTimeout));

    std::memset(dataBuf, 0, kAnswerClear);
    dataBufIndex = 0;
    int result = 0;
    while (static_cast<std::size_t>(dataBufIndex) < kDumpAnswerChars) {
        unsigned char received = WaitForComByte(comHandle, kAnswerTimeout);
        if (received == 0) {
            result = -1;
            break;
        }
        inByte = static_cast<char>(received);
        dataBuf[dataBufIndex++] = inByte;
    }
    // The line end after the answer, or the rest of a garbled one, must not
    // open the next reply.
    if (DrainComInput(comHandle, kQuietMs) != 0) {
        return -2;
    }
    return result;
}

// Saves the 16 bytes at startAddress as one data record: asks the monitor up
// to kAnswerTries times and writes the first sound answer (CheckDumpAnswer)
// behind its ":10AAAA00" header. Every try is shown on the console; an
// unsound answer is never written. Returns kStatusDone when the record was
// written; kStatusSilent or kStatusBadAnswer when no try brought a sound
// answer (by how the last try failed; nothing was written); kStatusFileError
// when the record could not be written (the message is printed). A lost port,
// a stop signal and a target that never falls quiet end the tries at once.
int SaveRecord() {
    int status = kStatusDone;
    for (int tries = 0; tries < kAnswerTries; ++tries) {
        const int answered = RequestDump();
        if (answered == -2) {
            std::fputs(kNeverQuietText, stdout);
            return kStatusBadAnswer;
        }
        const bool silent = answered != 0;
        if (silent && StopSignal() != 0) {
            return kStatusSilent;
        }
        if (silent && ComPortGone(comHandle)) {
            std::fputs(kPortLostText, stdout);
            return kStatusSilent;
        }
        const char* fault =
            CheckDumpAnswer(dataBuf, static_cast<std::size_t>(dataBufIndex), startAddress);
        if (fault == nullptr) {
            std::printf("\n %04X %s*", static_cast<unsigned>(startAddress), dataBuf);
            std::fflush(stdout);
            char line[sizeof ":10AAAA00" + sizeof dataBuf];  // header, answer, line end
            std::snprintf(line, sizeof line, ":10%04X00%s\n", static_cast<unsigned>(startAddress),
                          dataBuf);
            return WriteFileText(line) == 0 ? kStatusDone : kStatusFileError;
        }
        if (silent) {
            std::printf("\n ERROR! No Response from target(dataBufIndex=%d)", dataBufIndex);
        } else {
            std::printf("\n ERROR! Answer from target %s", fault);
        }
        // "?" in place of "*": what came is shown, but not saved.
        std::printf("\n %04X %s?", static_cast<unsigned>(startAddress), dataBuf);
        std::fflush(stdout);
        status = silent ? kStatusSilent : kStatusBadAnswer;
    }
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version: answered only when --help or --version is the one
    // argument; anywhere else the word keeps its ordinary meaning.
    if (AnswerHelpOrVersion(argc, argv, "Quilmark") != 0) {
        return 0;
    }
    // Banner and arguments: everything is checked before the file is created.
    std::printf("Z80 Save Data\n");
    if (argc < 4) {
        std::printf(
            "\n ERROR! Too Few Arguments\n Usage: Quilmark {start address} {end address} "
            "{filename} {com port}\n");
        return kStatusArguments;
    }
    int32_t address = ParseHexAddress(argv[1]);
    if (address < 0) {
        std::printf("\n ERROR! Bad Start Address '%s' (give one to four hex digits)\n", argv[1]);
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
    // From here Ctrl-C and SIGTERM end the run through its own exits.
    CatchStopSignals();

    // File: created in text mode, so lines end as the host's text files do.
    fp = std::fopen(argv[3], "w");
    if (fp == nullptr) {
        std::printf("ERROR: Cannot Open File '%s'\n", argv[3]);
        return kStatusNoFile;
    }
    std::snprintf(srcFileName, sizeof srcFileName, "%s", argv[3]);
    std::printf("FILE: '%s'\n", srcFileName);

    // Port.
    comHandle = OpenCom(sPortName, comBaudRate, &comError);
    if (comHandle == kInvalidComPort) {
        std::printf("OpenCom (1) failed with error %d.\n", comError);
        std::fclose(fp);  // the file is still empty; nothing to lose
        return kStatusNoPort;
    }
    std::printf("Com Port(1) %s open at %d baud.\n", sPortName, comBaudRate);
    std::fflush(stdout);

    // Handshake: wake the monitor and wait for its "$$$".
    WriteComBytes(comHandle, "@", 1);
    PauseMs(100);
    if (WaitForPrompt(comHandle, dataBuf, sizeof dataBuf, "$$$", kPromptTimeout, kPromptCapacity,
                      &inByte) != 0) {
        return CloseAndExit(SilenceStatus(comHandle, kStatusNoWake));
    }
    std::printf("\n Target Ready\n");
    std::fflush(stdout);
    if (DrainComInput(comHandle, kQuietMs) != 0) {
        return CloseAndExit(ChatterStatus(kStatusNoWake));
    }

    // Dump: one record per request; startAddress is 32 bits wide, so the step
    // past the last record of memory (FFF0) ends the loop instead of wrapping.
    // A stop signal ends it between records, the file kept valid as below.
    int status = kStatusDone;
    while (startAddress < endAddress && status == kStatusDone) {
        if (StopSignal() != 0) {
            break;
        }
        status = SaveRecord();
        if (status == kStatusDone) {
            startAddress += kDumpBytes;
        }
    }
    if (StopSignal() != 0 && status != kStatusFileError &&
        (status != kStatusDone || startAddress < endAddress)) {
        status = StoppedStatus();
    } else if (status == kStatusSilent || status == kStatusBadAnswer) {
        std::printf(
            "\n ERROR! Memory at %04X could not be read; the file holds what was saved before "
            "it\n",
            static_cast<unsigned>(startAddress));
    }

    // Finish: the end record goes in after a failed request too, so what was
    // saved stays a valid file; only a file that cannot be written goes without.
    if (status != kStatusFileError && WriteFileText(":00000001FF\n\n") != 0) {
        status = kStatusFileError;
    }
    status = CloseAndExit(status);
    if (status == kStatusDone) {
        std::printf("\n Done...\n");
    }
    return status;
}
