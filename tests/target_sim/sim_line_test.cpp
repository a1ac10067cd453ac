// The simulated target's line model: arrival and due times worked out from
// given clock readings, and only due bytes handed over.
#include "target_sim/sim_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

constexpr int64_t C = kCharTimeNs;

SimLine PacedLine() {
    SimLine line;
    line.charTimeNs = C;
    return line;
}

// Reads what is waiting in the pipe `fd` (non-blocking), up to 64 bytes.
std::string Drain(int fd) {
    char bytes[64];
    ssize_t got = read(fd, bytes, sizeof bytes);
    return got > 0 ? std::string(bytes, static_cast<std::size_t>(got)) : std::string();
}

}  // namespace

TEST(SimLine, ACharacterTakesElevenBitsAt9600Baud) {
    EXPECT_EQ(kCharTimeNs, 1145833);
}

TEST(SimLine, ABurstFromTheHostArrivesOneCharacterTimeApart) {
    SimLine line = PacedLine();
    EXPECT_EQ(ReceivedAt(&line, 1000), 1000 + C);
    EXPECT_EQ(ReceivedAt(&line, 1000), 1000 + 2 * C);
    EXPECT_EQ(ReceivedAt(&line, 1000), 1000 + 3 * C);
}

TEST(SimLine, AByteWrittenOnAnIdleWireArrivesOneCharacterTimeLater) {
    SimLine line = PacedLine();
    ReceivedAt(&line, 0);
    const int64_t later = 10 * C;
    EXPECT_EQ(ReceivedAt(&line, later), later + C);
}

TEST(SimLine, AnswerBytesAreDueOneCharacterTimeApartFromTheirStart) {
    SimLine line = PacedLine();
    QueueAnswer(&line, "ab", 5 * C);
    ASSERT_EQ(line.answers.size(), 2u);
    EXPECT_EQ(line.answers[0].dueNs, 6 * C);
    EXPECT_EQ(line.answers[1].dueNs, 7 * C);
    EXPECT_EQ(NextAnswerDue(line), 6 * C);
}

TEST(SimLine, AnAnswerQueuedWhileTheWireIsBusyFollowsBackToBack) {
    SimLine line = PacedLine();
    QueueAnswer(&line, "ab", 0);
    QueueAnswer(&line, "c", C);  // asked for while "b" is still on the wire
    ASSERT_EQ(line.answers.size(), 3u);
    EXPECT_EQ(line.answers[2].byte, 'c');
    EXPECT_EQ(line.answers[2].dueNs, 3 * C);
}

TEST(SimLine, AHeldLinePassesOnWhatCameWithinTheHoldTogether) {
    SimLine line = PacedLine();
    line.holdNs = 16 * C;
    QueueAnswer(&line, "ab", 0);      // "a" starts the hold, "b" joins it
    QueueAnswer(&line, "c", 40 * C);  // nothing held then: a hold of its own
    ASSERT_EQ(line.answers.size(), 3u);
    EXPECT_EQ(line.answers[0].dueNs, 17 * C);
    EXPECT_EQ(line.answers[1].dueNs, 17 * C);
    EXPECT_EQ(line.answers[2].dueNs, 57 * C);
}

TEST(SimLine, OnAnInstantLineEverythingIsDueAtOnce) {
    SimLine line;
    EXPECT_EQ(ReceivedAt(&line, 42), 42);
    EXPECT_EQ(ReceivedAt(&line, 42), 42);
    QueueAnswer(&line, "xyz", 42);
    for (const AnswerByte& answer : line.answers) {
        EXPECT_EQ(answer.dueNs, 42);
    }
}

TEST(SimLine, OnlyDueBytesAreHandedOverAndLatenessIsCounted) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    SimLine line = PacedLine();
    QueueAnswer(&line, "ok*", 0);  // due at C, 2C, 3C

    EXPECT_EQ(WriteDueAnswers(&line, ends[1], C / 2), 0);
    EXPECT_EQ(line.answers.size(), 3u);
    EXPECT_EQ(line.bytesSent, 0);

    EXPECT_EQ(WriteDueAnswers(&line, ends[1], 2 * C + 100), 0);
    EXPECT_EQ(Drain(ends[0]), "ok");
    EXPECT_EQ(line.bytesSent, 2);
    EXPECT_EQ(line.latenessSumNs, (C + 100) + 100);
    EXPECT_EQ(line.latenessMaxNs, C + 100);
    EXPECT_EQ(NextAnswerDue(line), 3 * C);

    EXPECT_EQ(WriteDueAnswers(&line, ends[1], 3 * C), 0);
    EXPECT_EQ(Drain(ends[0]), "*");
    EXPECT_EQ(NextAnswerDue(line), -1);
    close(ends[0]);
    close(ends[1]);
}

TEST(SimLine, AWriteErrorDropsTheDueBytes) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    close(ends[1]);
    SimLine line = PacedLine();
    QueueAnswer(&line, "ab", 0);
    QueueAnswer(&line, "c", 10 * C);
    EXPECT_EQ(WriteDueAnswers(&line, ends[1], 2 * C), -1);
    ASSERT_EQ(line.answers.size(), 1u);
    EXPECT_EQ(line.answers.front().byte, 'c');
}
