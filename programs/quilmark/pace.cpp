#include "programs/quilmark/pace.h"

double QuilmarkVerifyMs(const DumpWork& work, const TargetAnswers& answers) {
    double ms = PauseOrAnswerMs(kQuilmarkWakePauseMs, answers.prompt) + kQuilmarkQuietMs;
    // Per request: ";" and its answer, the request and its answer, the drain.
    ms += work.requests * (LineCharsMs(1 + answers.dumpOpen) +
                           LineCharsMs(kQuilmarkRequestChars + answers.dump) + kQuilmarkQuietMs);
    return ms;
}

double QuilmarkMs(const DumpWork& work, const TargetAnswers& answers) {
    // The verify's requests, and the pause before the port closes.
    return QuilmarkVerifyMs(work, answers) + kQuilmarkQuietMs;
}
