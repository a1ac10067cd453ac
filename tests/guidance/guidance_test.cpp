// Guidance text: durations and the progress line.
#include "guidance/guidance.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Duration(long ms) {
    char text[24];
    FormatDuration(ms, text, sizeof text);
    return text;
}

}  // namespace

TEST(FormatDuration, MinutesAndSecondsRoundedThenHours) {
    EXPECT_EQ(Duration(0), "0:00");
    EXPECT_EQ(Duration(-5000), "0:00");
    EXPECT_EQ(Duration(499), "0:00");
    EXPECT_EQ(Duration(500), "0:01");
    EXPECT_EQ(Duration(4200), "0:04");
    EXPECT_EQ(Duration(151000), "2:31");
    EXPECT_EQ(Duration(3599499), "59:59");
    EXPECT_EQ(Duration(3723000), "1:02:03");
    char tiny[3];
    FormatDuration(151000, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "2:");  // cut, still terminated
}

TEST(TimeLeftMs, EstimateFirstThenThePaceSoFar) {
    EXPECT_EQ(TimeLeftMs(0, 100, 0, 9000), 9000);
    EXPECT_EQ(TimeLeftMs(0, 100, 500, -1), 0);
    EXPECT_EQ(TimeLeftMs(25, 100, 1000, 9000), 3000);
    EXPECT_EQ(TimeLeftMs(100, 100, 4000, 9000), 0);
    EXPECT_EQ(TimeLeftMs(120, 100, 4000, 9000), 0);
}

TEST(RenderProgressLine, CountPercentElapsedAndLeftCutToTheWidth) {
    char line[120];
    EXPECT_EQ(RenderProgressLine(line, sizeof line, 312, 1024, "records", 45000, 104000, 0),
              std::string("312/1024 records  30%  0:45 elapsed  1:44 left").size());
    EXPECT_STREQ(line, "312/1024 records  30%  0:45 elapsed  1:44 left");
    EXPECT_EQ(RenderProgressLine(line, sizeof line, 3, 3, "lines", 9000, 0, 20), 20u);
    EXPECT_STREQ(line, "3/3 lines  100%  0:0");
    RenderProgressLine(line, sizeof line, 0, 0, "requests", 0, 0, 79);
    EXPECT_STREQ(line, "0/0 requests  100%  0:00 elapsed  0:00 left");
    char small[8];
    EXPECT_EQ(RenderProgressLine(small, sizeof small, 1, 2, "records", 0, 0, 0), 7u);
    EXPECT_STREQ(small, "1/2 rec");
}
