#include "dialogue/pace.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Characters on the wire, in milliseconds.
double Chars(double count) {
    return count * kLineCharMs;
}

// A pause taken after sending a byte, while the answer to it (`answerChars`
// characters) crosses the line: whichever ends later.
double PauseOrAnswer(int32_t pauseMs, int answerChars) {
    return std::max(static_cast<double>(pauseMs), Chars(1 + answerChars));
}

}  // namespace

double TorvanexMs(const UploadWork& work, const TargetAnswers& answers) {
    // The wake-up waits only for the prompt's "$$$"; then a pause and a flush.
    double ms = PauseOrAnswer(kTorvanexWakePauseMs, answers.promptEnd) + kTorvanexReadyPauseMs;
    // Per record: colon, a pause, each character followed by its pause; the
    // verdict crosses the line during the last character's pause (or after
    // it, the last character and the verdict back to back); the pause after
    // the verdict.
    const double lastChar =
        std::max(static_cast<double>(kTorvanexCharPauseMs), Chars(1 + answers.verdict));
    ms += work.records * (kTorvanexColonPauseMs + lastChar + kTorvanexAcceptedPauseMs);
    ms += static_cast<double>(work.sentChars - work.records) * kTorvanexCharPauseMs;
    return ms;
}

double TorvaneMs(const UploadWork& work, const TargetAnswers& answers) {
    // The wake-up collects the whole answer, then the line drains quiet.
    double ms = PauseOrAnswer(kTorvaneWakePauseMs, answers.prompt) + kTorvaneQuietMs;
    // Per record: colon and its pause, the record and the verdict back to
    // back on the line, the drain's quiet, the pause; "!" and a pause at the end.
    ms += work.records * (kTorvaneColonPauseMs + Chars(answers.verdict) + kTorvaneQuietMs +
                          kTorvaneAcceptedPauseMs);
    ms += Chars(static_cast<double>(work.sentChars));
    return ms + kTorvaneClosePauseMs;
}

double QuilmarkVerifyMs(const DumpWork& work, const TargetAnswers& answers) {
    double ms = PauseOrAnswer(kQuilmarkWakePauseMs, answers.prompt) + kQuilmarkQuietMs;
    // Per request: ";" and its answer, the request and its answer, the drain.
    ms += work.requests * (Chars(1 + answers.dumpOpen) +
                           Chars(kQuilmarkRequestChars + answers.dump) + kQuilmarkQuietMs);
    return ms;
}

double QuilmarkMs(const DumpWork& work, const TargetAnswers& answers) {
    // The verify's requests, and the pause before the port closes.
    return QuilmarkVerifyMs(work, answers) + kQuilmarkQuietMs;
}

double FerroltMs(const TypingWork& work, const TargetAnswers& answers) {
    double ms = 0;
    for (int answer : {answers.prompt, answers.basicBanner, answers.basicReady}) {
        ms += PauseOrAnswer(kFerroltPromptPauseMs, answer) + kFerroltSettleQuietMs;
    }
    // Each echoed character goes out and comes back, then the pause; the
    // others only the pause; each piece ends with a CR, its answer and the
    // quiet that ends the drain.
    ms += work.echoed * (Chars(2) + kFerroltCharPauseMs);
    ms += work.unechoed * static_cast<double>(kFerroltCharPauseMs);
    ms += work.pieces * (Chars(1 + answers.lineEnd) + kFerroltLineQuietMs);
    return ms + kFerroltClosePauseMs;  // the last CR and the pause before closing
}
