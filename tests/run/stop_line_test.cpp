// The stop lines name the signal as people know it.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "host/stop_signal.h"

TEST(StopLine, CtrlCForSigintAndTheNameOtherwise) {
    char spare[12];
    EXPECT_STREQ(StopSignalShown(SIGINT, spare), "Ctrl-C");
    EXPECT_STREQ(StopSignalShown(SIGTERM, spare), "SIGTERM");
    EXPECT_STREQ(StopSignalShown(SIGHUP, spare), "SIGHUP");
    EXPECT_STREQ(StopSignalShown(SIGQUIT, spare), "SIGQUIT");
    EXPECT_STREQ(StopSignalShown(SIGUSR1, spare), ("signal " + std::to_string(SIGUSR1)).c_str());
    char line[64];
    std::snprintf(line, sizeof line, kStoppedText, StopSignalShown(SIGTERM, spare));
    EXPECT_STREQ(line, "\n ERROR! Stopped (SIGTERM)\n");
}

TEST(StopLine, AtOnceLineFitsAndNamesTheSignal) {
    char text[kStoppedAtOnceLineSize];
    std::size_t length = StoppedAtOnceLine(SIGINT, text);
    EXPECT_EQ(std::string(text, length), "\n ERROR! Stopped at once (Ctrl-C)\n");
    length = StoppedAtOnceLine(SIGHUP, text);
    EXPECT_EQ(std::string(text, length), "\n ERROR! Stopped at once (SIGHUP)\n");
    length = StoppedAtOnceLine(99, text);
    EXPECT_EQ(std::string(text, length), "\n ERROR! Stopped at once (signal 99)\n");
    EXPECT_LE(length, kStoppedAtOnceLineSize);
}
