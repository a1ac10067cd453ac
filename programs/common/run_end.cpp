#include "programs/common/run_end.h"

#include <cstdio>

#include "dialogue/dialogue.h"
#include "programs/common/stop_signal.h"

int EndRun(const ExitStatusTable& table, Stage stage, Outcome outcome) {
    if ((outcome == Outcome::kSilent || outcome == Outcome::kPortLost) && StopSignal() != 0) {
        outcome = Outcome::kStopped;
    }
    switch (outcome) {
        case Outcome::kStopped:
            std::printf(kStoppedText, StopSignal());
            return StopStatus(StopSignal());
        case Outcome::kSilent:
            std::fputs(kNoResponseText, stdout);
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
