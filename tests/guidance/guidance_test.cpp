// Guidance text: durations, the progress line, what an upload will send,
// load addresses, and the summary's notes.
#include "guidance/guidance.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/e2e.h"

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

TEST(CountUploadWork, RecordsDataBytesAndCharactersUpToTheEndRecord) {
    TempDir dir;
    std::FILE* fp = std::fopen(dir.Write("f.hex",
                                         ":020000040000FA\r\n"
                                         "\n"
                                         ":0380000001020377\n"
                                         ":00000001FF\n"
                                         ":0380000001020377\n")
                                   .c_str(),
                               "rb");
    ASSERT_NE(fp, nullptr);
    UploadWork work{};
    ASSERT_EQ(CountUploadWork(fp, &work), 0);
    EXPECT_EQ(work.records, 2);
    EXPECT_EQ(work.dataBytes, 3);  // the extended address is no data
    EXPECT_EQ(work.sentChars, 14 + 16);
    EXPECT_EQ(std::fgetc(fp), ':');  // rewound
    std::fclose(fp);
}

TEST(RecordLoadAddress, AddressFieldPlusExtendedAddress) {
    unsigned long upper = 0;
    EXPECT_EQ(RecordLoadAddress(":108010000000", &upper), 0x8010ul);
    EXPECT_EQ(RecordLoadAddress(":020000040001F9", &upper), 0x10000ul);
    EXPECT_EQ(RecordLoadAddress(":10801000", &upper), 0x18010ul);
    EXPECT_EQ(RecordLoadAddress(":020000021000EC", &upper), 0x10000ul);
    EXPECT_EQ(RecordLoadAddress(":10001000", &upper), 0x10010ul);
    EXPECT_EQ(RecordLoadAddress(":020000040000FA", &upper), 0ul);
    EXPECT_EQ(RecordLoadAddress(":10f00000", &upper), 0xF000ul);
}
