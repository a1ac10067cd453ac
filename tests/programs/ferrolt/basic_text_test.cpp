// A BASIC text in memory: the pieces the typing sends and the check that
// refuses texts the target would store wrongly.
#include "programs/ferrolt/basic_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

const std::string kX79(79, 'x');

// Every piece of `text` read with pieces of `size` bytes.
Texts Pieces(const std::string& text, std::size_t size = kMaxPieceChars + 1) {
    Texts pieces;
    std::vector<char> piece(size);
    std::size_t at = 0;
    std::size_t length = 0;
    while ((length = NextPiece(text.data(), text.size(), &at, piece.data(), size)) != 0) {
        EXPECT_EQ(piece[length], '\0');
        pieces.emplace_back(piece.data(), length);
    }
    return pieces;
}

}  // namespace

TEST(FerroltText, PiecesSplitAsTheTypingSendsThem) {
    const std::string y78(78, 'y');
    struct Case {
        std::string text;
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
        // At most 79 characters; the LF goes with them when it fits.
        {y78 + "\r\n", {y78 + "\n"}, 80},
        {kX79 + "\n", {kX79, "\n"}, 80},
        {kX79 + "zz\n", {kX79, "zz\n"}, 80},
        {"ABC\r\nD", {"A", "B", "C", "\n", "D"}, 2},
        {std::string("A\0B\n", 4), {std::string("A\0B\n", 4)}, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(Pieces(c.text, c.size), c.pieces);
    }
}

TEST(FerroltText, TheCheckPassesSoundTextsAndNamesTheFirstBadLine) {
    const std::string kNul = "holds a NUL byte";
    const std::string kLong = "is longer than 79 characters";
    struct Case {
        std::string text;
        long line;  // 0: sound
        std::string why;
    };
    const std::vector<Case> cases = {
        {"10 PRINT 1\n" + kX79 + "\r\n" + kX79, 0, ""},
        {std::string("10 PRINT 1\n20 \0END\n", 19), 2, kNul},
        {"10 REM\n20 REM\n" + kX79 + "z\n", 3, kLong},
        {kX79 + "z" + std::string(1, '\0'), 1, kLong},
        // A CR alone is no line end the interpreter takes.
        {"10 PRINT 1\r20 END\r", 1, kCrAloneWhy},
        {"10 A\r\n20 B\r\r\n", 2, kCrAloneWhy},
        {"10 A\r", 1, kCrAloneWhy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        long badLine = 0;
        const char* why = CheckProgramText(c.text.data(), c.text.size(), &badLine);
        EXPECT_EQ(why == nullptr ? "" : why, c.why);
        if (why != nullptr) {
            EXPECT_EQ(badLine, c.line);
        }
    }
}
