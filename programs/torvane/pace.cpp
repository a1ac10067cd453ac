#include "programs/torvane/pace.h"

double TorvaneMs(const UploadWork& work, const TargetAnswers& answers) {
    // The wake-up collects the whole answer, then the line drains quiet.
    double ms = PauseOrAnswerMs(kTorvaneWakePauseMs, answers.prompt) + kTorvaneQuietMs;
    // Per record: colon and its pause, the record and the verdict back to
    // back on the line, the drain's quiet, the pause; "!" and a pause at the end.
    ms += work.records * (kTorvaneColonPauseMs + LineCharsMs(answers.verdict) + kTorvaneQuietMs +
                          kTorvaneAcceptedPauseMs);
    ms += LineCharsMs(static_cast<double>(work.sentChars));
    return ms + kTorvaneClosePauseMs;
}
