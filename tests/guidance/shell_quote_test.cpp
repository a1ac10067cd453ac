// Names quoted for the shell the printed command is pasted into.
#include "guidance/shell_quote.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Posix(const char* word) {
    char out[128];
    QuotePosixWord(word, out, sizeof out);
    return out;
}

std::string Windows(const char* word) {
    char out[128];
    QuoteWindowsWord(word, out, sizeof out);
    return out;
}

}  // namespace

TEST(ShellQuote, PosixWordsAreSingleQuotedWhenNotSafe) {
    EXPECT_EQ(Posix("prog.hex"), "prog.hex");
    EXPECT_EQ(Posix("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(Posix("tcp://127.0.0.1:7050"), "tcp://127.0.0.1:7050");
    EXPECT_EQ(Posix("my prog.hex"), "'my prog.hex'");
    EXPECT_EQ(Posix("it's.hex"), "'it'\\''s.hex'");
    EXPECT_EQ(Posix("$(rm -rf x);`y`.hex"), "'$(rm -rf x);`y`.hex'");
    EXPECT_EQ(Posix("rfc2217://[::1]:3001"), "'rfc2217://[::1]:3001'");
    EXPECT_EQ(Posix("a\"b"), "'a\"b'");
    EXPECT_EQ(Posix(""), "''");
}

TEST(ShellQuote, WindowsWordsAreDoubleQuotedWhenNotSafe) {
    EXPECT_EQ(Windows("C:\\work\\prog.hex"), "C:\\work\\prog.hex");
    EXPECT_EQ(Windows("my prog.hex"), "\"my prog.hex\"");
    EXPECT_EQ(Windows("a&b.hex"), "\"a&b.hex\"");
    EXPECT_EQ(Windows("it's.hex"), "\"it's.hex\"");
    EXPECT_EQ(Windows("3"), "3");
}

TEST(ShellQuote, CutWhenFullAndAlwaysEnded) {
    char out[6];
    EXPECT_EQ(QuotePosixWord("a b c d e", out, sizeof out), 5u);
    EXPECT_STREQ(out, "'a b ");
}
