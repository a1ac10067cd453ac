// Reading HEX files line by line and checking them before anything is sent.
#include "programs/common/record_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hexrec/hexrec.h"
#include "tests/support/e2e.h"

namespace {

// An open file with `content`, closed at the end of the test.
struct OpenFile {
    explicit OpenFile(const std::string& content) {
        fp = std::fopen(dir.Write("f.hex", content).c_str(), "rb");
    }
    ~OpenFile() {
        std::fclose(fp);
    }
    TempDir dir;
    std::FILE* fp = nullptr;
};

}  // namespace

TEST(ReadTextLine, LfCrLfAndNoFinalNewlineReadAlike) {
    OpenFile file(":A\n:B\r\n\n:C");
    char line[16];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_STREQ(line, ":A");
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_STREQ(line, ":B");
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_STREQ(line, ":C");
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineEndOfFile);
}

TEST(ReadTextLine, CtrlZEndsTheFile) {
    OpenFile file(":A\n\x1A:B\n");
    char line[16];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineEndOfFile);
}

TEST(ReadTextLine, ALineTooLongForTheBufferIsReportedAndSkipped) {
    OpenFile file("0123456789ABCDEF\n:X\n");
    char line[8];
    std::size_t length = 0;
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineTooLong);
    EXPECT_EQ(length, 7u);
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_STREQ(line, ":X");
}

TEST(CheckRecordFile, ASoundFileIsRewoundForTheUpload) {
    OpenFile file(":020000040000FA\r\n\r\n:00000001FF\r\nanything after the end\n");
    long badLine = 0;
    const char* why = nullptr;
    ASSERT_EQ(CheckRecordFile(file.fp, &badLine, &why), 0);
    char line[32];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), kLineRead);
    EXPECT_STREQ(line, ":020000040000FA");
}

TEST(CheckRecordFile, TheFirstBadLineIsNamed) {
    OpenFile file(":020000040000FA\n\n:1000000001\n:00000001FF\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(file.fp, &badLine, &why), -1);
    EXPECT_EQ(badLine, 3);
    ASSERT_NE(why, nullptr);
}

TEST(CheckRecordFile, RecordsLongerThanAnyBufferLineAreRefused) {
    OpenFile file(":FF" + std::string(2000, '0') + "\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(file.fp, &badLine, &why), -1);
    EXPECT_EQ(badLine, 1);
}

TEST(CheckRecordFile, EmptyAndEndlessFilesAreSound) {
    OpenFile empty("");
    OpenFile noEnd(":020000040000FA\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(empty.fp, &badLine, &why), 0);
    EXPECT_EQ(CheckRecordFile(noEnd.fp, &badLine, &why), 0);
}

TEST(CheckRecordFile, ADirectoryCannotBeRead) {
    TempDir dir;
    std::FILE* fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(fp, &badLine, &why), kLineReadError);
    std::fclose(fp);
}
