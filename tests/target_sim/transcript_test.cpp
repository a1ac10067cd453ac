// The simulator's transcript: lines queued without waiting for the disk,
// written in order by its own thread, and written out on demand.
#include "target_sim/transcript.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/e2e.h"

TEST(Transcript, LinesReachTheFileInOrderOnceClosed) {
    TempDir dir;
    const std::string path = dir.path() + "/transcript";
    std::string expected;
    {
        Transcript transcript;
        ASSERT_TRUE(transcript.Open(path));
        for (int i = 0; i < 5000; ++i) {
            transcript.Note(i % 2 == 0 ? 'R' : 'S', i, std::to_string(i * 3));
            expected += std::string(i % 2 == 0 ? "R " : "S ") + std::to_string(i) + " " +
                        std::to_string(i * 3) + "\n";
        }
        transcript.Close();
        transcript.Close();  // a second close changes nothing
    }
    EXPECT_EQ(ReadFileText(path), expected);
}

TEST(Transcript, FlushWritesEverythingNotedSoFar) {
    TempDir dir;
    const std::string path = dir.path() + "/transcript";
    Transcript transcript;
    ASSERT_TRUE(transcript.Open(path));
    std::string expected;
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 50; ++i) {
            transcript.Note('E', round, "event " + std::to_string(i));
            expected += "E " + std::to_string(round) + " event " + std::to_string(i) + "\n";
        }
        transcript.Flush();
        ASSERT_EQ(ReadFileText(path), expected) << "round " << round;
    }
}

TEST(Transcript, WithoutAFileNothingIsWritten) {
    Transcript transcript;
    transcript.Note('R', 1, "41");
    transcript.Flush();
    transcript.Close();
    TempDir dir;
    EXPECT_FALSE(transcript.Open(dir.path() + "/no/such/folder/transcript"));
}
