// Opening the HEX file a program reads and reading it record by record for
// sending, as the uploaders do (the whole-file check is tested in
// record_file_test.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hexrec/hexrec.h"
#include "input_file/record_file.h"
#include "tests/support/launch.h"

namespace {

constexpr const char* kRecords = ":0200000001A25B\r\n\r\n:00000001FF\r\n:0100000055AA\r\n";

// A HEX file opened and checked as a program opens it, with what the program
// keeps of it; the file is closed at the end of the test.
struct CheckedFile {
    explicit CheckedFile(const std::string& content) {
        path = dir.Write("f.hex", content);
        ::testing::internal::CaptureStdout();
        fp = OpenRecordFile("Torvane", path.c_str(), fileName, sizeof fileName, &stamp,
                            &checkedDigest);
        printed = ::testing::internal::GetCapturedStdout();
    }
    ~CheckedFile() {
        if (fp != nullptr) {
            std::fclose(fp);
        }
    }
    // Reads the next record into line, the console text it printed kept in
    // `said`.
    RecordRead Next(std::string* said = nullptr) {
        ::testing::internal::CaptureStdout();
        const RecordRead read =
            ReadRecord(fp, fileName, stamp, line, sizeof line, &sentDigest, &lineNumber);
        const std::string text = ::testing::internal::GetCapturedStdout();
        if (said != nullptr) {
            *said = text;
        }
        return read;
    }
    TempDir dir;
    std::string path;
    std::string printed;  // what opening it printed
    std::FILE* fp = nullptr;
    char fileName[80] = "";
    FileStamp stamp;
    uint64_t checkedDigest = kDigestStart;
    uint64_t sentDigest = kDigestStart;
    long lineNumber = 0;
    char line[kMaxRecordChars + 2] = "";
};

}  // namespace

TEST(OpenRecordFile, ASoundFileIsNamedStampedAndCheckedWhole) {
    CheckedFile file(kRecords);
    ASSERT_NE(file.fp, nullptr) << file.printed;
    EXPECT_EQ(file.printed, "FILE: '" + file.path + "'\n");
    EXPECT_EQ(file.fileName, file.path);
    EXPECT_GE(file.stamp.size, 0);
    EXPECT_NE(file.checkedDigest, kDigestStart);
}

TEST(OpenRecordFile, AnUnsoundFileIsRefusedAndClosed) {
    CheckedFile file(":0200000001A25B\n:1000000001\n");
    EXPECT_EQ(file.fp, nullptr);
    EXPECT_EQ(file.printed.rfind("FILE: '" + file.path + "'\nERROR: Line 2 of '", 0), 0u)
        << file.printed;
}

TEST(OpenRecordFile, AMissingFileIsRefusedBeforeItsFileLine) {
    TempDir dir;
    const std::string path = dir.path() + "/none.hex";
    char fileName[80] = "";
    uint64_t digest = kDigestStart;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(OpenRecordFile("Torvane", path.c_str(), fileName, sizeof fileName, nullptr, &digest),
              nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR: Cannot Open File '" + path + "'\n");
    EXPECT_STREQ(fileName, "");
}

TEST(ReadRecord, RecordsComeInOrderUpToTheEndRecordEmptyLinesPassedOver) {
    CheckedFile file(kRecords);
    ASSERT_NE(file.fp, nullptr);
    std::string said;
    ASSERT_EQ(file.Next(&said), RecordRead::kRecord);
    EXPECT_STREQ(file.line, ":0200000001A25B");
    EXPECT_EQ(file.lineNumber, 1);
    EXPECT_EQ(file.Next(&said), RecordRead::kEmptyLine);
    EXPECT_EQ(file.lineNumber, 2);
    // The end record ends the sending; what follows it is never read.
    EXPECT_EQ(file.Next(&said), RecordRead::kNoMore);
    EXPECT_EQ(file.lineNumber, 3);
    EXPECT_EQ(said, "");
    // The lines read for sending are those checked.
    EXPECT_EQ(file.sentDigest, file.checkedDigest);
}

TEST(ReadRecord, AFileWithoutEndRecordEndsAtItsEnd) {
    CheckedFile file(":0200000001A25B\n");
    ASSERT_NE(file.fp, nullptr);
    EXPECT_EQ(file.Next(), RecordRead::kRecord);
    EXPECT_EQ(file.Next(), RecordRead::kNoMore);
    EXPECT_EQ(file.Next(), RecordRead::kNoMore);
    EXPECT_EQ(file.lineNumber, 1);
    EXPECT_EQ(file.sentDigest, file.checkedDigest);
}

TEST(ReadRecord, AFileThatChangedAfterItsCheckStopsTheSending) {
    CheckedFile file(kRecords);
    ASSERT_NE(file.fp, nullptr);
    ASSERT_EQ(file.Next(), RecordRead::kRecord);
    std::FILE* out = std::fopen(file.path.c_str(), "ab");
    ASSERT_NE(out, nullptr);
    std::fputs(":0100000055AA\n", out);
    std::fclose(out);
    std::string said;
    EXPECT_EQ(file.Next(&said), RecordRead::kFault);
    EXPECT_EQ(said, "\nERROR: File '" + file.path + "' changed while it was being sent\n");
    EXPECT_EQ(file.lineNumber, 1);
}

TEST(ReadRecord, ALineNoLongerSoundIsNeverSent) {
    // The file was sound when checked; here it is not, under the same stamp,
    // as after a disk fault: the line must not reach the target.
    CheckedFile file(kRecords);
    ASSERT_NE(file.fp, nullptr);
    std::FILE* bad = std::fopen(file.dir.Write("bad.hex", ":02000000\n").c_str(), "rb");
    ASSERT_NE(bad, nullptr);
    ASSERT_EQ(StampFile(bad, &file.stamp), 0);
    std::fclose(file.fp);
    file.fp = bad;
    std::string said;
    EXPECT_EQ(file.Next(&said), RecordRead::kFault);
    EXPECT_EQ(said, "\nERROR: Cannot Read File '" + file.path + "'\n");
    EXPECT_EQ(file.lineNumber, 1);
    EXPECT_EQ(file.sentDigest, kDigestStart);
}
