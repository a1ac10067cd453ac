// The time estimates: each is the sum of the program's pauses and the
// character times no pause covers, worked out here by hand for small runs.
#include "dialogue/pace.h"

#include <gtest/gtest.h>

#include "programs/ferrolt/pace.h"
#include "programs/ferrolt/typing_work.h"
#include "programs/quilmark/pace.h"
#include "programs/torvane/pace.h"
#include "programs/torvanex/pace.h"

namespace {

constexpr double C = kLineCharMs;

}  // namespace

TEST(Pace, LineCharacterTimeIsElevenBitsAt9600Baud) {
    EXPECT_NEAR(kLineCharMs, 1.1458, 0.0001);
    EXPECT_EQ(kLineBaud, 9600);
}

TEST(Pace, UploadEstimatesAddEveryPauseOfEveryRecord) {
    // Two records of 16 data bytes: 42 characters each after the colon.
    const UploadWork work{2, 32, 84};
    // Torvanex: wake-up 10 ms (the 4 characters of "@" and "$$$" fit in
    // it) + 10; per record 5 + 41 * 3 + max(3, 2C) + 5.
    EXPECT_NEAR(TorvanexMs(work, kLeastAnswers), 10 + 10 + 2 * (5 + 41 * 3 + 3 + 5), 1e-9);
    // Torvane: 250 + 25; per record 25 + (42 + 1)C + 25 + 25; 25 at the end.
    EXPECT_NEAR(TorvaneMs(work, kLeastAnswers), 250 + 25 + 2 * (25 + 43 * C + 50) + 25, 1e-9);
    // A slow answer to "@" is waited for beyond the pause.
    TargetAnswers longPrompt = kLeastAnswers;
    longPrompt.promptEnd = 20;
    EXPECT_NEAR(TorvanexMs(UploadWork{0, 0, 0}, longPrompt), 21 * C + 10, 1e-9);
}

TEST(Pace, DumpAndTypingEstimates) {
    // Quilmark, 16 requests: 100 + 25, each (1+1)C + (6+35)C + 25, 25 at the end.
    EXPECT_NEAR(QuilmarkMs(DumpWork{16}, kLeastAnswers), 125 + 16 * (43 * C + 25) + 25, 1e-9);
    EXPECT_NEAR(QuilmarkMs(DumpWork{0}, kLeastAnswers), 150, 1e-9);
    // Ferrolt, "10 PRINT 1\n": three prompts of 250 + 25, ten echoed
    // characters (2C + 2 each), the LF (2), the CR and 100 ms, 25 at the end.
    const TypingWork work{1, 1, 10, 1};
    EXPECT_NEAR(FerroltMs(work, kLeastAnswers), 3 * 275 + 10 * (2 * C + 2) + 2 + C + 100 + 25,
                1e-9);
}
