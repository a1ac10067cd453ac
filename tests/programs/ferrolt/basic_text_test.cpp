// The check that refuses program texts the target would store wrongly (the
// piece reading itself is tested with the text module,
// tests/input_file/text_file_test.cpp).
#include "programs/ferrolt/basic_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace {

const std::string kCtrlZ = "\x1A";
const std::string kX79(79, 'x');

// Opens `content` as a file in `dir`; the caller closes it.
std::FILE* OpenText(const TempDir& dir, const std::string& content) {
    return std::fopen(dir.Write("prog.bas", content).c_str(), "rb");
}

}  // namespace

TEST(FerroltCheck, ADirectoryCannotBeRead) {
    TempDir dir;
    std::FILE* fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    long badLine = 0;
    const char* why = nullptr;
    EXPECT_EQ(CheckProgramText(fp, &badLine, &why), TextCheck::kReadError);
    std::fclose(fp);
}

TEST(FerroltCheck, PassesSoundTextsRewoundAndNamesTheFirstBadLine) {
    const std::string kNul = "holds a NUL byte";
    const std::string kLong = "is longer than 79 characters";
    struct Case {
        std::string content;
        TextCheck verdict;
        long line;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"10 PRINT 1\n" + kX79 + "\r\n" + kX79, TextCheck::kSound, 0, ""},
        // Nothing after a Ctrl-Z counts.
        {"10 PRINT 1\n" + kCtrlZ + std::string(100, '\0'), TextCheck::kSound, 0, ""},
        {std::string("10 PRINT 1\n20 \0END\n", 19), TextCheck::kBadLine, 2, kNul},
        {"10 REM\n20 REM\n" + kX79 + "z\n", TextCheck::kBadLine, 3, kLong},
        // A lone CR is typed, so it counts.
        {kX79 + "\n" + kX79 + "\r\r\n", TextCheck::kBadLine, 2, kLong},
        {kX79 + "z" + std::string(1, '\0'), TextCheck::kBadLine, 1, kLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content));
        TempDir dir;
        std::FILE* fp = OpenText(dir, c.content);
        long badLine = 0;
        const char* why = nullptr;
        EXPECT_EQ(CheckProgramText(fp, &badLine, &why), c.verdict);
        EXPECT_EQ(badLine, c.line);
        EXPECT_EQ(why == nullptr ? "" : why, c.why);
        if (c.verdict == TextCheck::kSound) {
            EXPECT_EQ(std::ftell(fp), 0L);
            EXPECT_FALSE(std::feof(fp));
        }
        std::fclose(fp);
    }
}

TEST(FerroltCheck, TheReportNamesTheLineAndWhy) {
    TempDir dir;
    std::FILE* fp = OpenText(dir, "10 REM\n20 REM\n" + kX79 + "z\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CheckProgramTextAndReport(fp, "p.bas"), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "ERROR: Line 3 of 'p.bas' is longer than 79 characters; nothing was sent\n");
    std::fclose(fp);
}
