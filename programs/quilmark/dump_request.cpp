#include "programs/quilmark/dump_request.h"

#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "dialogue/handshake.h"
#include "hexrec/dump_text.h"
#include "programs/common/hints.h"
#include "programs/common/run_end.h"
#include "programs/common/stop_signal.h"

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
constexpr std::size_t kAnswerClear = 40;  // bytes of dataBuf cleared before an answer

static_assert(kAnswerClear <= sizeof dataBuf && kDumpAnswerChars < kAnswerClear,
              "an answer must stay terminated inside dataBuf");

}  // namespace

int OpenPort(const char* portArgument) {
    comHandle = OpenCom(sPortName, comBaudRate, &comError);
    if (comHandle == kInvalidComPort) {
        std::printf("OpenCom (1) failed with error %d.\n", comError);
        if (portArgument != nullptr) {
            HintPortArgument("Quilmark", portArgument);
        }
        HintOpenFailure(sPortName, comError);
        return kStatusNoPort;
    }
    std::printf("Com Port(1) %s open at %d baud.\n", sPortName, comBaudRate);
    std::fflush(stdout);
    return kStatusDone;
}

int WakeTarget() {
    const Outcome woken =
        Handshake(comHandle, kQuilmarkHandshake, dataBuf, sizeof dataBuf, &inByte);
    if (woken == Outcome::kChatter) {
        return ChatterStatus(kStatusNoWake);
    }
    if (woken != Outcome::kDone) {
        const int status = SilenceStatus(comHandle, kStatusNoWake);
        HintWakeUpSilence(comHandle);
        return status;
    }
    return kStatusDone;
}

int RequestDump() {
    // The byte that opens each reply says nothing the answer does not, so it
    // is read only to keep it out of the answer; a timeout costs just the wait.
    WriteComBytes(comHandle, ";", 1);
    inByte = static_cast<char>(WaitForComByte(comHandle, kAnswerTimeout));
    std::snprintf(dataBuf, sizeof dataBuf, "10%04X", static_cast<unsigned>(startAddress & 0xFFFF));
    WriteComBytes(comHandle, dataBuf, kQuilmarkRequestChars);
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
    if (DrainComInput(comHandle, kQuietMs) != Outcome::kDone) {
        return -2;
    }
    return result;
}

int ReadDumpAnswer() {
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
            return kStatusDone;
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
        status = silent ? kStatusSilent : kStatusBadAnswer;
    }
    return status;
}
