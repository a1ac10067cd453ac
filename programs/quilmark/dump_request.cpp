#include "programs/quilmark/dump_request.h"

#include <cstdio>

#include "dialogue/dialogue.h"
#include "guidance/net_hints.h"
#include "hexrec/dump_text.h"
#include "host/stop_signal.h"
#include "programs/quilmark/exit_status.h"
#include "run/open_port.h"
#include "run/run_end.h"

namespace {

// 5000 ms for each byte of a reply; 40 bytes of dataBuf cleared before an answer.
constexpr DumpRow kDumpRow = {5000, kDumpAnswerChars, 40, kQuietMs};

static_assert(kDumpRow.cleared <= sizeof DumpSession::dataBuf &&
                  kDumpAnswerChars < kDumpRow.cleared,
              "an answer must stay terminated inside dataBuf");

}  // namespace

Outcome OpenSessionPort(DumpSession* session, const char* portArgument) {
    return OpenProgramPort(kQuilmarkPortTexts, session->sPortName, session->comBaudRate,
                           portArgument, &session->comHandle, &session->comError);
}

Outcome ReadDumpAnswer(DumpSession* session) {
    DumpSession& s = *session;
    Outcome outcome = Outcome::kDone;
    for (int tries = 0; tries < kAnswerTries; ++tries) {
        const Outcome answered =
            RequestDump(s.comHandle, kDumpRow, static_cast<uint16_t>(s.startAddress), s.dataBuf,
                        sizeof s.dataBuf, &s.dataBufIndex, &s.inByte);
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
            CheckDumpAnswer(s.dataBuf, static_cast<std::size_t>(s.dataBufIndex), s.startAddress);
        if (fault == nullptr) {
            return Outcome::kDone;
        }
        if (silent) {
            std::printf("\n ERROR! No Response from target(dataBufIndex=%d)", s.dataBufIndex);
        } else {
            std::printf("\n ERROR! Answer from target %s", fault);
        }
        // "?" where a sound answer would get its "*": what came is shown, but
        // not used.
        std::printf("\n %04X %s?", static_cast<unsigned>(s.startAddress), s.dataBuf);
        std::fflush(stdout);
        outcome = silent ? Outcome::kSilent : Outcome::kBadAnswer;
    }
    return outcome;
}

int EndStage(const DumpSession& session, Stage stage, Outcome outcome) {
    if (stage == Stage::kRequests && outcome != Outcome::kStopped) {
        HintNetRunEnd(session.comHandle, outcome);
        return ExitStatusFor(kQuilmarkStatuses, stage, outcome);
    }
    return EndRunOnPort(kQuilmarkStatuses, stage, outcome, session.comHandle);
}
