#include "programs/common/run_end.h"

#include <cstdio>

#include "dialogue/dialogue.h"
#include "programs/common/stop_signal.h"

int StoppedStatus() {
    std::printf(kStoppedText, StopSignal());
    return StopStatus(StopSignal());
}

int SilenceStatus(ComPort port, int status) {
    if (StopSignal() != 0) {
        return StoppedStatus();
    }
    std::fputs(ComPortGone(port) ? kPortLostText : kNoResponseText, stdout);
    return status;
}

int ChatterStatus(int status) {
    std::fputs(kNeverQuietText, stdout);
    return status;
}
