#include "programs/quilmark/dump_request.h"

#include <cstdio>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "hexrec/dump_text.h"
#include "host/stop_signal.h"
#include "programs/quilmark/exit_status.h"
#include "run/open_port.h"
#include "run/run_end.h"

char sPortName[kComPortNameSize] = Z80_DEFAULT_COM_PORT;
int32_t comBaudRate = 9600;
ComPort comHandle = kInvalidComPort;
int32_t comError = 0;
char dataBuf[50];
int32_t dataBufIndex = 0;
char inByte = 0;
uint32_t startAddress = 0;

namespace {

// The port's lines: why it did not open, or that it did.
constexpr PortTexts kPortTexts{"Quilmark", "OpenCom (1) failed with error %d.\n",
                               "Com Port(1) %s open at %d baud.\n"};
// 5000 ms for each byte of a reply; 40 bytes of dataBuf cleared before an answer.
constexpr DumpRow kDumpRow = {5000, kDumpAnswerChars, 40, kQuietMs};

static_assert(kDumpRow.cleared <= sizeof dataBuf && kDumpAnswerChars < kDumpRow.cleared,
              "an answer must stay terminated inside dataBuf");

}  // namespace

Outcome OpenPort(const char* portArgument) {
    return OpenProgramPort(kPortTexts, sPortName, comBaudRate, portArgument, &comHandle, &comError);
}

Outcome WakeTarget() {
    return Handshake(comHandle, kQuilmarkHandshake, dataBuf, sizeof dataBuf, &inByte);
}

Outcome ReadDumpAnswer() {
    Outcome outcome = Outcome::kDone;
    for (int tries = 0; tries < kAnswerTries; ++tries) {
        const Outcome answered =
            RequestDump(comHandle, kDumpRow, static_cast<uint16_t>(startAddress), dataBuf,
                        sizeof dataBuf, &dataBufIndex, &inByte);
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
