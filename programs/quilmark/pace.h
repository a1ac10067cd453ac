// Quilmark's pace: one request for 16 bytes at a time.
#pragma once

#include <cstdint>

#include "dialogue/handshake.h"
#include "dialogue/pace.h"

constexpr HandshakeRow kQuilmarkHandshake = {100, 40, 5000, "\n Target Ready\n", 25, false};

constexpr int32_t kQuilmarkWakePauseMs = kQuilmarkHandshake.wakePauseMs;  // after the wake-up
constexpr int32_t kQuilmarkQuietMs = 25;  // silence that ends a drain; also the
                                          // pause before the port closes
constexpr int kQuilmarkRequestChars = 6;  // "10" and four address digits

static_assert(kQuilmarkHandshake.settleMs == kQuilmarkQuietMs, "Quilmark drains alike");

// Milliseconds a save takes at the line's pace when the target answers at
// once with `answers`.
double QuilmarkMs(const DumpWork& work, const TargetAnswers& answers);
// Quilmark --verify: the dump's requests, without the pause before the close.
double QuilmarkVerifyMs(const DumpWork& work, const TargetAnswers& answers);
