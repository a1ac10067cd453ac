// Reading a program's input file whole, at the edges of its buffer (the
// programs' refusals are shown end to end).
#include "input_file/input_file.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/launch.h"

TEST(ReadInputFile, AFileFillingTheBufferFitsOneMoreByteDoesNotUnlessACtrlZEndsIt) {
    TempDir dir;
    char text[8];
    const std::string full = dir.Write("full", "12345678");
    const std::string over = dir.Write("over", "123456789");
    const std::string ended = dir.Write("ended", std::string("1234") + '\x1A' + "6789");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ReadInputFile("Torvane", full.c_str(), text, sizeof text), 8);
    EXPECT_EQ(std::string(text, 8), "12345678");
    EXPECT_EQ(ReadInputFile("Torvane", over.c_str(), text, sizeof text), -1);
    EXPECT_EQ(ReadInputFile("Torvane", ended.c_str(), text, sizeof text), 4);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "ERROR: File '" + over + "' is larger than 8 bytes; nothing was sent\n");
}
