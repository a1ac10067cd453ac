// Torvanex's pace: the record goes out one character at a time.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "dialogue/pace.h"
#include "hexrec/hexrec.h"  // UploadWork

constexpr HandshakeRow kTorvanexHandshake = {10, 80, 5000, "\n Target Ready\n", 10, true};

constexpr int32_t kTorvanexWakePauseMs = kTorvanexHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kTorvanexReadyPauseMs = kTorvanexHandshake.settleMs;    // before the flush
constexpr int32_t kTorvanexColonPauseMs = 5;     // after the colon, before the flush
constexpr int32_t kTorvanexCharPauseMs = 3;      // after every character of a record
constexpr int32_t kTorvanexAcceptedPauseMs = 5;  // after a "*"

// Milliseconds an upload takes at the line's pace (pauses and uncovered
// character times) when the target answers at once with `answers` and
// accepts every record.
double TorvanexMs(const UploadWork& work, const TargetAnswers& answers);
