// Reading a program's input file whole: the Ctrl-Z rule, the size limit,
// what is refused, and the HEX file's FILE line and check.
#include "input_file/input_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/launch.h"

namespace {

// Reads `path` into a buffer of `size` bytes; what was printed goes to *printed.
std::string Read(const std::string& path, std::size_t size, long* length, std::string* printed) {
    std::string text(size, '#');
    ::testing::internal::CaptureStdout();
    *length = ReadInputFile("Torvane", path.c_str(), text.data(), size);
    *printed = ::testing::internal::GetCapturedStdout();
    return text.substr(0, *length < 0 ? 0 : static_cast<std::size_t>(*length));
}

}  // namespace

TEST(ReadInputFile, ReadsTheWholeFileUpToACtrlZ) {
    TempDir dir;
    long length = 0;
    std::string printed;
    const std::string nul("A\0B\r\n", 5);
    EXPECT_EQ(Read(dir.Write("a", nul), 16, &length, &printed), nul);
    EXPECT_EQ(Read(dir.Write("b",
                             "10 A\r\n\x1A"
                             "20 B\n"),
                   16, &length, &printed),
              "10 A\r\n");
    EXPECT_EQ(Read(dir.Write("c", ""), 16, &length, &printed), "");
    EXPECT_EQ(length, 0);
    // Exactly the buffer's size fits; so does more when a Ctrl-Z ends it in time.
    EXPECT_EQ(Read(dir.Write("d", "12345678"), 8, &length, &printed), "12345678");
    EXPECT_EQ(Read(dir.Write("e",
                             "1234\x1A"
                             "6789"),
                   8, &length, &printed),
              "1234");
    EXPECT_EQ(printed, "");
}

TEST(ReadInputFile, RefusesALargerFileAndWhatIsNoFile) {
    TempDir dir;
    long length = 0;
    std::string printed;
    const std::string big = dir.Write("big", "123456789");
    Read(big, 8, &length, &printed);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(printed, "ERROR: File '" + big + "' is larger than 8 bytes; nothing was sent\n");
    Read(dir.path(), 8, &length, &printed);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(printed, "ERROR: Cannot Open File '" + dir.path() + "': is a folder, not a file\n");
    Read(dir.path() + "/none", 8, &length, &printed);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(printed, "ERROR: Cannot Open File '" + dir.path() + "/none'\n");
}

TEST(ReadRecordFile, NamesTheFileThenChecksIt) {
    TempDir dir;
    char fileName[80] = "";
    char text[64];
    const std::string sound = dir.Write("a.hex", ":020000040000FA\n:00000001FF\n");
    const std::string broken = dir.Write("b.hex", ":020000040000FA\n\n:1000000001\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(
        ReadRecordFile("Torvane", sound.c_str(), fileName, sizeof fileName, text, sizeof text), 28);
    EXPECT_STREQ(fileName, sound.c_str());
    EXPECT_EQ(
        ReadRecordFile("Torvane", broken.c_str(), fileName, sizeof fileName, text, sizeof text),
        -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "FILE: '" + sound + "'\nFILE: '" + broken + "'\nERROR: Line 3 of '" + broken +
                  "' does not have the length its length field gives; nothing was sent\n");
}
