#include "programs/quilmark/dump_request.h"

#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "hexrec/dump_text.h"
#include "host/stop_signal.h"
#include "programs/quilmark/exit_status.h"
#include "run/open_port.h"
#include "run/run_end.h"

char sPortName[kComPortNameSize] = "//./COM10";
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
char dataBuf[50];
int32_t dataBufIndex = 0;
char inByte = 0;
uint32_t startAddress = 0;

namespace {

constexpr int32_t kAnswerTimeout = 5000;  // ms per byte of a reply to a request
// The port's lines: why it did not open, or that it did.
constexpr PortTexts kPortTexts{"Quilmark", "OpenCom (1) failed with error %d.\n",
                               "Com Port(1) %s open at %d baud.\n"};
constexpr std::size_t kAnswerClear = 40;  // bytes of dataBuf cleared before an answer

static_assert(kAnswerClear <= sizeof dataBuf && kDumpAnswerChars < kAnswerClear,
              "an answer must stay terminated inside dataBuf");

}  // namespace

Outcome OpenPort(const char* portArgument) {
    return OpenProgramPort(kPortTexts, sPortName, comBaudRate, portArgument, &comHandle, &comError);
}

Outcome WakeTarget() {
    return Handshake(comHandle, kQuilmarkHandshake, dataBuf, sizeof dataBuf, &inByte);
}

Outcome RequestDump() {
    // The byte that opens each reply says nothing the answer does not, so it
    // is read only to keep it out of the answer; a timeout costs just the wait.
    WriteComBytes(comHandle, ";", 1);
    inByte = static_cast<char>(WaitForComByte(comHandle, kAnswerTimeout));
    std::snprintf(dataBuf, sizeof dataBuf, "10%04X", static_cast<unsigned>(startAddress & 0xFFFF));
    WriteComBytes(comHandle, dataBuf, kQuilmarkRequestChars);
    inByte = static_cast<char>(WaitForComByte(comHandle, kAnswerTimeout));

    std::memset(dataBuf, 0, kAnswerClear);
    dataBufIndex = 0;
    bool silent = false;
    while (static_cast<std::size_t>(dataBufIndex) < kDumpAnswerChars) {
        unsigned char received = WaitForComByte(comHandle, kAnswerTimeout);
        if (received == 0) {
            silent = true;
            break;
        }
        inByte = static_cast<char>(received);
        dataBuf[dataBufIndex++] = inByte;
    }
    // The line end after the answer, or the rest of a garbled one, must not
    // open the next reply.
    if (DrainComInput(comHandle, kQuietMs) != Outcome::kDone) {
        return Outcome::kChatter;
    }
    return silent ? SilenceOn(comHandle) : Outcome::kDone;
}

Outcome ReadDumpAnswer() {
    Outcome outcome = Outcome::kDone;
    for (int tries = 0; tries < kAnswerTries; ++tries) {
        const Outcome answered = RequestDump();
        if (answered == Outcome::kChatter) {
            std::fputs(kNeverQuietText, stdout);
            return Outcome::kChatter;
        }
        const bool silent = answered != Outcome::kDone;
        if (silent && StopSignal() != 0) {
            return Outcome::kStopped;
        }
        if (answered == Outcome::kPortLost) {
            std::fputs(kPortLostText, stdout);
            return Outcome::kPortLost;
        }
        const char* fault =
            CheckDumpAnswer(dataBuf, static_cast<std::size_t>(dataBufIndex), startAddress);
        if (fault == nullptr) {
            return Outcome::kDone;
        }
        if (silent) {
            std::printf("\n ERROR! No Response from target(dataBufIndex=%d)", dataBufIndex);
        } else {
            std::printf("\n ERROR! Answer from target %s", fault);
        }
        // "?" where a sound answer would get its "*": what came is shown, but
        // not used.
        std::printf("\n %04X %s?", static_cast<unsigned>(startAddress), dataBuf);
        std::fflush(stdout);
        outcome = silent ? Outcome::kSilent : Outcome::kBadAnswer;
    }
    return outcome;
}

int EndStage(Stage stage, Outcome outcome) {
    if (stage == Stage::kRequests && outcome != Outcome::kStopped) {
        return ExitStatusFor(kQuilmarkStatuses, stage, outcome);
    }
    return EndRunOnPort(kQuilmarkStatuses, stage, outcome, comHandle);
}
