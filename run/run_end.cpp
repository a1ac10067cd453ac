#include "run/run_end.h"

#include <cstdio>

#include "dialogue/dialogue.h"
#include "guidance/guidance.h"
#include "guidance/hints.h"
#include "guidance/net_hints.h"
#include "guidance/prompt_hints.h"
#include "host/stop_signal.h"

int EndRun(const ExitStatusTable& table, Stage stage, Outcome outcome) {
    if ((outcome == Outcome::kSilent || outcome == Outcome::kPortLost ||
         outcome == Outcome::kNoPrompt) &&
        StopSignal() != 0) {
        outcome = Outcome::kStopped;
    }
    switch (outcome) {
        case Outcome::kStopped: {
            char spare[12];
            std::printf(kStoppedText, StopSignalShown(StopSignal(), spare));
            return StopStatus(StopSignal());
        }
        case Outcome::kSilent:
            std::fputs(kNoResponseText, stdout);
            NoteTranscriptLineOpen();
            break;
        case Outcome::kNoPrompt:
            std::fputs(kNoResponseText, stdout);
            NoteTranscriptLineOpen();
            HintPromptNeverCame();
            break;
        case Outcome::kPortLost:
            std::fputs(kPortLostText, stdout);
            break;
        case Outcome::kChatter:
            std::fputs(kNeverQuietText, stdout);
            break;
        default:
            break;
    }
    return ExitStatusFor(table, stage, outcome);
}

int EndRunOnPort(const ExitStatusTable& table, Stage stage, Outcome outcome, ComPort port) {
    const int status = EndRun(table, stage, outcome);
    // A telnet server behind tcp:// explains an unanswered wake-up better
    // than the wiring; an answer without the prompt has a hint of its own.
    if (!HintNetRunEnd(port, outcome) && stage == Stage::kHandshake &&
        outcome != Outcome::kChatter && outcome != Outcome::kNoPrompt) {
        HintWakeUpSilence(port);
    }
    return status;
}
