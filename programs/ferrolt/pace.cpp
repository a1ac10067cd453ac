#include "programs/ferrolt/pace.h"

#include <initializer_list>

double FerroltMs(const TypingWork& work, const TargetAnswers& answers) {
    double ms = 0;
    for (int answer : {answers.prompt, answers.basicBanner, answers.basicReady}) {
        ms += PauseOrAnswerMs(kFerroltPromptPauseMs, answer) + kFerroltSettleQuietMs;
    }
    // Each echoed character goes out and comes back, then the pause; the
    // others only the pause; each piece ends with a CR, its answer and the
    // quiet that ends the drain.
    ms += work.echoed * (LineCharsMs(2) + kFerroltCharPauseMs);
    ms += work.unechoed * static_cast<double>(kFerroltCharPauseMs);
    ms += work.pieces * (LineCharsMs(1 + answers.lineEnd) + kFerroltLineQuietMs);
    return ms + kFerroltClosePauseMs;  // the last CR and the pause before closing
}
