// What came instead of a prompt, made printable for the hint.
#include "guidance/prompt_hints.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(FormatPrintable, ControlAndHighBytesAreEscaped) {
    char text[64];
    FormatPrintable("ok *\r\n\t\\\x01\x7f\xff.", text, sizeof text);
    EXPECT_STREQ(text, "ok *\\r\\n\\t\\\\\\x01\\x7F\\xFF.");
}

// A character is shown whole or not at all, and the text always ends.
TEST(FormatPrintable, CutWhereACharacterWouldNotFit) {
    char text[6];
    FormatPrintable("ab\r\ncd", text, sizeof text);
    EXPECT_STREQ(text, "ab\\r");
    FormatPrintable("abc\x01", text, sizeof text);
    EXPECT_STREQ(text, "abc");
    char one[1] = {'x'};
    FormatPrintable("abc", one, sizeof one);
    EXPECT_EQ(one[0], '\0');
}
