// What a BASIC text will take to type: its lines, the pieces they go out
// in, and the characters that are echoed and those that are not.
#include "programs/ferrolt/typing_work.h"

#include <gtest/gtest.h>

#include <string>

TEST(CountTypingWork, CountsLinesPiecesAndEchoedCharacters) {
    // A line of 79 characters and its LF go out as two pieces but are one
    // line; CR LF reads as LF; a last line without a line end still counts.
    const std::string text = "10 PRINT 1\r\n" + std::string(79, 'A') + "\n20\tEND";
    const TypingWork work = CountTypingWork(text.data(), text.size());
    EXPECT_EQ(work.lines, 3);
    EXPECT_EQ(work.pieces, 4);
    EXPECT_EQ(work.echoed, 10 + 79 + 5);
    EXPECT_EQ(work.unechoed, 3);  // two LFs and the tab
}
