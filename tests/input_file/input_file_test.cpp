// Reading a program's input file whole, at the edges of its buffer (the
// programs' refusals are shown end to end).
#include "input_file/input_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "launch/launch.h"

TEST(ReadInputFile, AFileFillingTheBufferFitsOneMoreByteDoesNotUnlessACtrlZEndsIt) {
    TempDir dir;
    char text[8];
    const std::string full = dir.Write("full", "12345678");
    const std::string over = dir.Write("over", "123456789");
    const std::string ended = dir.Write("ended", std::string("1234") + '\x1A' + "6789");
    ::testing::internal::CaptureStdout();
    FileRefusal refusal;
    EXPECT_EQ(ReadInputFile(full.c_str(), text, sizeof text, &refusal), 8);
    EXPECT_EQ(std::string(text, 8), "12345678");
    EXPECT_EQ(refusal.tooLarge, 0u);
    EXPECT_EQ(ReadInputFile(over.c_str(), text, sizeof text, &refusal), -1);
    EXPECT_EQ(refusal.tooLarge, sizeof text);
    FileRefusal none;
    EXPECT_EQ(ReadInputFile(ended.c_str(), text, sizeof text, &none), 4);
    // Nothing is printed: the caller tells the refusal.
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(ReadInputFile, AFolderOrAMissingFileIsRefusedWithWhy) {
    TempDir dir;
    char text[8];
    FileRefusal folder;
    EXPECT_EQ(ReadInputFile(dir.path().c_str(), text, sizeof text, &folder), -1);
    EXPECT_STREQ(folder.what, "a folder");
    FileRefusal missing;
    EXPECT_EQ(ReadInputFile((dir.path() + "/none").c_str(), text, sizeof text, &missing), -1);
    EXPECT_EQ(missing.what, nullptr);
    EXPECT_EQ(missing.error, ENOENT);
}
