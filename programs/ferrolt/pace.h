// Ferrolt's pace: the program typed one character at a time, each echo awaited.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "dialogue/pace.h"

constexpr HandshakeRow kFerroltHandshake = {250, 80, 3000, "\n Target Ready \n", 25, false};

constexpr int32_t kFerroltPromptPauseMs = kFerroltHandshake.wakePauseMs;  // before each prompt
constexpr int32_t kFerroltSettleQuietMs = kFerroltHandshake.settleMs;     // ends a prompt's tail
constexpr int32_t kFerroltLineQuietMs = 100;  // silence after a piece or a lost echo
constexpr int32_t kFerroltCharPauseMs = 2;    // after every character typed
constexpr int32_t kFerroltClosePauseMs = 25;  // lets the last CR leave before closing

// Milliseconds the typing takes at the line's pace when the target answers
// at once with `answers`.
double FerroltMs(const TypingWork& work, const TargetAnswers& answers);
