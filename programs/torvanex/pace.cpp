#include "programs/torvanex/pace.h"

#include <algorithm>

double TorvanexMs(const UploadWork& work, const TargetAnswers& answers) {
    // The wake-up waits only for the prompt's "$$$"; then a pause and a flush.
    double ms = PauseOrAnswerMs(kTorvanexWakePauseMs, answers.promptEnd) + kTorvanexReadyPauseMs;
    // Per record: colon, a pause, each character followed by its pause; the
    // verdict crosses the line during the last character's pause (or after
    // it, the last character and the verdict back to back); the pause after
    // the verdict.
    const double lastChar =
        std::max(static_cast<double>(kTorvanexCharPauseMs), LineCharsMs(1 + answers.verdict));
    ms += work.records * (kTorvanexColonPauseMs + lastChar + kTorvanexAcceptedPauseMs);
    ms += static_cast<double>(work.sentChars - work.records) * kTorvanexCharPauseMs;
    return ms;
}
