// The program text reader: pieces as the typing sends them, and the check
// that refuses texts the target would store wrongly.
#include "programs/ferrolt/basic_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace {

using Texts = std::vector<std::string>;

const std::string kCtrlZ = "\x1A";
const std::string kX79(79, 'x');

// Opens `content` as a file in `dir`; the caller closes it.
std::FILE* OpenText(const TempDir& dir, const std::string& content) {
    return std::fopen(dir.Write("prog.bas", content).c_str(), "rb");
}

// Every piece of `content` read with pieces of `size` bytes, to the end.
Texts Pieces(const std::string& content, std::size_t size = kMaxPieceChars + 1) {
    TempDir dir;
    std::FILE* fp = OpenText(dir, content);
    Texts pieces;
    std::vector<char> piece(size);
    std::size_t length = 0;
    while (pieces.size() < 100 && ReadTextPiece(fp, piece.data(), size, &length) == kPieceRead) {
        EXPECT_EQ(piece[length], '\0');
        pieces.emplace_back(piece.data(), length);
    }
    // The end holds: a Ctrl-Z is met again, never the text behind it.
    EXPECT_EQ(ReadTextPiece(fp, piece.data(), size, &length), kPieceEndOfFile);
    EXPECT_EQ(length, 0u);
    std::fclose(fp);
    return pieces;
}

}  // namespace

TEST(FerroltPieces, SplitAsTheTypingSendsThem) {
    const std::string y78(78, 'y');
    struct Case {
        std::string content;
        Texts pieces;
        std::size_t size;
    };
    const std::vector<Case> cases = {
        {"10 PRINT 1\n20 END", {"10 PRINT 1\n", "20 END"}, 80},
        {"", {}, 80},
        // CR LF reads as LF, even split over the piece limit; other CRs stay.
        {"10 PRINT 1\r\n\r\n", {"10 PRINT 1\n", "\n"}, 80},
        {"A\rB\r\r\nC\r", {"A\rB\r\n", "C\r"}, 80},
        {y78 + "a\r\nb", {y78 + "a", "\n", "b"}, 80},
        // Ctrl-Z ends the file wherever it stands.
        {"10 PRINT 1\n" + kCtrlZ + "20 END\n", {"10 PRINT 1\n"}, 80},
        {"AB" + kCtrlZ + "\n", {"AB"}, 80},
        {"A\r" + kCtrlZ + "\n", {"A\r"}, 80},
        // At most 79 characters; the LF goes with them when it fits.
        {y78 + "\r\n", {y78 + "\n"}, 80},
        {kX79 + "\n", {kX79, "\n"}, 80},
        {kX79 + "zz\n", {kX79, "zz\n"}, 80},
        {"ABC\r\nD", {"A", "B", "C", "\n", "D"}, 2},
        {std::string("A\0B\n", 4), {std::string("A\0B\n", 4)}, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content));
        EXPECT_EQ(Pieces(c.content, c.size), c.pieces);
    }
}

TEST(FerroltPieces, RefusesBuffersTooSmallAndReportsReadFailures) {
    TempDir dir;
    std::FILE* fp = OpenText(dir, "ABC\n");
    char piece[8] = "#######";
    std::size_t length = 7;
    EXPECT_EQ(ReadTextPiece(fp, piece, 1, &length), kPieceReadError);
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(piece, "");
    EXPECT_EQ(piece[1], '#');
    EXPECT_EQ(ReadTextPiece(fp, piece, sizeof piece, &length), kPieceRead);
    EXPECT_STREQ(piece, "ABC\n");  // the refused read took nothing
    std::fclose(fp);

    // A directory opens as a stream here, and reading it fails: that is no end of file.
    fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(ReadTextPiece(fp, piece, sizeof piece, &length), kPieceReadError);
    long badLine = 0;
    EXPECT_EQ(CheckProgramText(fp, &badLine), kPieceReadError);
    std::fclose(fp);
}

TEST(FerroltCheck, PassesSoundTextsRewoundAndNamesTheFirstBadLine) {
    struct Case {
        std::string content;
        int verdict;
        long line;
    };
    const std::vector<Case> cases = {
        {"10 PRINT 1\n" + kX79 + "\r\n" + kX79, 0, 0},
        {"10 PRINT 1\n" + kCtrlZ + std::string(100, '\0'), 0, 0},  // nothing after Ctrl-Z counts
        {std::string("10 PRINT 1\n20 \0END\n", 19), kTextHoldsNul, 2},
        {"10 REM\n20 REM\n" + kX79 + "z\n", kTextLineTooLong, 3},
        {kX79 + "\n" + kX79 + "\r\r\n", kTextLineTooLong, 2},  // a lone CR is typed, so it counts
        {kX79 + "z" + std::string(1, '\0'), kTextLineTooLong, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content));
        TempDir dir;
        std::FILE* fp = OpenText(dir, c.content);
        long badLine = 0;
        EXPECT_EQ(CheckProgramText(fp, &badLine), c.verdict);
        EXPECT_EQ(badLine, c.line);
        if (c.verdict == 0) {
            EXPECT_EQ(std::ftell(fp), 0L);
            EXPECT_FALSE(std::feof(fp));
        }
        std::fclose(fp);
    }
}
