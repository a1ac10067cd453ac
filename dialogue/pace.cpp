#include "dialogue/pace.h"

#include <algorithm>

double PauseOrAnswerMs(int32_t pauseMs, int answerChars) {
    return std::max(static_cast<double>(pauseMs), LineCharsMs(1 + answerChars));
}
