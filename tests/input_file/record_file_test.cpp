// Checking HEX files before anything is sent (the line reading itself is
// tested with the text module, tests/input_file/text_file_test.cpp).
#include "input_file/record_file.h"

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

TEST(CheckRecordFile, ASoundFileIsRewoundForTheUpload) {
    OpenFile file(":020000040000FA\r\n\r\n:00000001FF\r\nanything after the end\n");
    long badLine = 0;
    const char* why = nullptr;
    ASSERT_EQ(CheckRecordFile(file.fp, &badLine, &why), TextCheck::kSound);
    char line[32];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":020000040000FA");
}

TEST(CheckRecordFile, TheFirstBadLineIsNamed) {
    OpenFile file(":020000040000FA\n\n:1000000001\n:00000001FF\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(file.fp, &badLine, &why), TextCheck::kBadLine);
    EXPECT_EQ(badLine, 3);
    ASSERT_NE(why, nullptr);
}

TEST(CheckRecordFile, RecordsLongerThanAnyBufferLineAreRefused) {
    OpenFile file(":FF" + std::string(2000, '0') + "\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(file.fp, &badLine, &why), TextCheck::kBadLine);
    EXPECT_EQ(badLine, 1);
}

TEST(CheckRecordFile, EmptyAndEndlessFilesAreSound) {
    OpenFile empty("");
    OpenFile noEnd(":020000040000FA\n");
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(empty.fp, &badLine, &why), TextCheck::kSound);
    EXPECT_EQ(CheckRecordFile(noEnd.fp, &badLine, &why), TextCheck::kSound);
}

TEST(CheckRecordFile, ADirectoryCannotBeRead) {
    TempDir dir;
    std::FILE* fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckRecordFile(fp, &badLine, &why), TextCheck::kReadError);
    std::fclose(fp);
}

TEST(CheckRecordFile, TheReportNamesTheLineAndWhy) {
    OpenFile file(":020000040000FA\n\n:1000000001\n:00000001FF\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CheckRecordFileAndReport(file.fp, "f.hex"), -1);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("ERROR: Line 3 of 'f.hex' ", 0), 0u) << printed;
    EXPECT_NE(printed.find("; nothing was sent\n"), std::string::npos) << printed;
}
