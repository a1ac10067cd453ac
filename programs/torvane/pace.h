// Torvane's pace: the record goes out in one write after the colon.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "dialogue/pace.h"
#include "hexrec/hexrec.h"  // UploadWork

constexpr HandshakeRow kTorvaneHandshake = {250, 80, 5000, "\n Target Ready\n", 25, false};

constexpr int32_t kTorvaneWakePauseMs = kTorvaneHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kTorvaneQuietMs = 25;                                 // silence that ends a drain
constexpr int32_t kTorvaneColonPauseMs = 25;                            // after the colon
constexpr int32_t kTorvaneAcceptedPauseMs = 25;                         // after a "*" and its drain
constexpr int32_t kTorvaneClosePauseMs = 25;  // after "!", before the port closes

static_assert(kTorvaneHandshake.settleMs == kTorvaneQuietMs, "Torvane drains alike");

// Milliseconds an upload takes at the line's pace (pauses and uncovered
// character times) when the target answers at once with `answers` and
// accepts every record.
double TorvaneMs(const UploadWork& work, const TargetAnswers& answers);
