// What a BASIC text will take to type: its lines, the pieces they go out
// in, and the characters that are echoed and those that are not.
#include "programs/ferrolt/typing_work.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/e2e.h"

TEST(CountTypingWork, CountsLinesPiecesAndEchoedCharacters) {
    TempDir dir;
    // A line of 79 characters and its LF go out as two pieces but are one
    // line; CR LF reads as LF; a last line without a line end still counts.
    const std::string longLine(79, 'A');
    std::FILE* fp =
        std::fopen(dir.Write("p.bas", "10 PRINT 1\r\n" + longLine + "\n20\tEND").c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    TypingWork work{};
    ASSERT_EQ(CountTypingWork(fp, &work), 0);
    EXPECT_EQ(work.lines, 3);
    EXPECT_EQ(work.pieces, 4);
    EXPECT_EQ(work.echoed, 10 + 79 + 5);
    EXPECT_EQ(work.unechoed, 3);  // two LFs and the tab
    // Rewound: the typing reads the text from its start.
    EXPECT_EQ(std::fgetc(fp), '1');
    std::fclose(fp);
}
