// The program text reader: pieces as the typing sends them, and the check
// that refuses texts the target would store wrongly.
#include "programs/ferrolt/basic_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace {

// A read-only stream holding `content`, closed at the end of scope.
class TextFile {
  public:
    explicit TextFile(const std::string& content) {
        fp_ = std::fopen(dir_.Write("prog.bas", content).c_str(), "rb");
    }
    ~TextFile() {
        if (fp_ != nullptr) {
            std::fclose(fp_);
        }
    }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    std::FILE* fp() const {
        return fp_;
    }

  private:
    TempDir dir_;
    std::FILE* fp_ = nullptr;
};

// Every piece of `content` read with pieces of `size` bytes, up to the end.
std::vector<std::string> Pieces(const std::string& content, std::size_t size = kMaxPieceChars + 1) {
    TextFile file(content);
    std::vector<std::string> pieces;
    std::vector<char> piece(size);
    for (int guard = 0; guard < 1000; ++guard) {
        std::size_t length = 99;
        int got = ReadTextPiece(file.fp(), piece.data(), size, &length);
        if (got == kPieceEndOfFile) {
            EXPECT_EQ(length, 0u);
            return pieces;
        }
        EXPECT_EQ(got, kPieceRead);
        EXPECT_LT(length, size);
        EXPECT_EQ(piece[length], '\0');
        pieces.emplace_back(piece.data(), length);
    }
    ADD_FAILURE() << "no end of file";
    return pieces;
}

using PieceList = std::vector<std::string>;

const std::string kCtrlZ = "\x1A";

}  // namespace

TEST(FerroltPieces, LinesEndAfterTheirLfAndTheLastLineMayHaveNone) {
    EXPECT_EQ(Pieces("10 PRINT 1\n20 END\n"), (PieceList{"10 PRINT 1\n", "20 END\n"}));
    EXPECT_EQ(Pieces("10 PRINT 1\n20 END"), (PieceList{"10 PRINT 1\n", "20 END"}));
    EXPECT_EQ(Pieces("\n\n"), (PieceList{"\n", "\n"}));
    EXPECT_EQ(Pieces(""), PieceList{});
}

TEST(FerroltPieces, CrLfReadsAsLfAndOtherCrsStay) {
    EXPECT_EQ(Pieces("10 PRINT 1\r\n20 END\r\n"), (PieceList{"10 PRINT 1\n", "20 END\n"}));
    EXPECT_EQ(Pieces("A\rB\n"), PieceList{"A\rB\n"});
    EXPECT_EQ(Pieces("A\r\r\nB"), (PieceList{"A\r\n", "B"}));
    EXPECT_EQ(Pieces("A\r"), PieceList{"A\r"});
}

TEST(FerroltPieces, CtrlZEndsTheFileForGood) {
    EXPECT_EQ(Pieces("10 PRINT 1\n" + kCtrlZ + "20 END\n"), PieceList{"10 PRINT 1\n"});
    EXPECT_EQ(Pieces("10 PRINT 1\x1A\n20 END\n"), PieceList{"10 PRINT 1"});
    EXPECT_EQ(Pieces("A\r\x1A\n"), PieceList{"A\r"});
    EXPECT_EQ(Pieces("\x1A"), PieceList{});

    // Later reads keep meeting the end instead of the text behind it.
    TextFile file("AB" + kCtrlZ + "CD\n");
    char piece[8];
    std::size_t length = 0;
    EXPECT_EQ(ReadTextPiece(file.fp(), piece, sizeof piece, &length), kPieceRead);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadTextPiece(file.fp(), piece, sizeof piece, &length), kPieceEndOfFile);
        EXPECT_STREQ(piece, "");
    }
}

TEST(FerroltPieces, PiecesHoldAtMost79CharactersWithTheLfWhenItFits) {
    const std::string x78(78, 'x');
    const std::string x79(79, 'y');
    const std::string x80(80, 'z');
    EXPECT_EQ(Pieces(x78 + "\n"), PieceList{x78 + "\n"});
    EXPECT_EQ(Pieces(x78 + "\r\n"), PieceList{x78 + "\n"});
    EXPECT_EQ(Pieces(x79 + "\n"), (PieceList{x79, "\n"}));
    EXPECT_EQ(Pieces(x79 + "\r\n"), (PieceList{x79, "\n"}));
    EXPECT_EQ(Pieces(x80 + "\n"), (PieceList{x80.substr(0, 79), "z\n"}));
    EXPECT_EQ(Pieces(x79 + x79 + "ab"), (PieceList{x79, x79, "ab"}));
    // A CR LF split over the piece limit still reads as one LF.
    EXPECT_EQ(Pieces(x78 + "a\r\nb"), (PieceList{x78 + "a", "\n", "b"}));
}

TEST(FerroltPieces, SmallBuffersNeverOverflow) {
    EXPECT_EQ(Pieces("ABC\r\nD", 2), (PieceList{"A", "B", "C", "\n", "D"}));
    EXPECT_EQ(Pieces("AB\n", 3), (PieceList{"AB", "\n"}));

    TextFile file("ABC\n");
    char piece[4] = {'#', '#', '#', '#'};
    std::size_t length = 7;
    EXPECT_EQ(ReadTextPiece(file.fp(), piece, 1, &length), kPieceReadError);
    EXPECT_EQ(piece[0], '\0');
    EXPECT_EQ(piece[1], '#');
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(ReadTextPiece(file.fp(), piece, 0, &length), kPieceReadError);
    // Nothing was consumed by the refused reads.
    EXPECT_EQ(ReadTextPiece(file.fp(), piece, sizeof piece, &length), kPieceRead);
    EXPECT_STREQ(piece, "ABC");
}

TEST(FerroltPieces, NulBytesAreKeptAndCounted) {
    EXPECT_EQ(Pieces(std::string("A\0B\n", 4)), PieceList{std::string("A\0B\n", 4)});
}

TEST(FerroltPieces, AReadFailureIsNotTheEndOfTheFile) {
    // A directory opens as a stream on this host, and every read of it fails.
    TempDir dir;
    std::FILE* fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    char piece[8] = "#######";
    std::size_t length = 5;
    EXPECT_EQ(ReadTextPiece(fp, piece, sizeof piece, &length), kPieceReadError);
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(piece, "");
    long badLine = 0;
    EXPECT_EQ(CheckProgramText(fp, &badLine), kPieceReadError);
    std::fclose(fp);
}

TEST(FerroltCheck, SoundTextsPassAndAreRewound) {
    const std::string x79(79, 'y');
    for (const std::string& content :
         {std::string(""), std::string("10 PRINT 1\n20 END\n"), x79 + "\n" + x79,
          x79 + "\r\n" + x79 + "\r\n", std::string("10 PRINT 1\n\x1A") + std::string(100, '\0'),
          std::string("\t\x7F\xE9\r\n")}) {
        SCOPED_TRACE(::testing::PrintToString(content));
        TextFile file(content);
        long badLine = -5;
        EXPECT_EQ(CheckProgramText(file.fp(), &badLine), 0);
        EXPECT_EQ(badLine, -5);
        EXPECT_EQ(std::ftell(file.fp()), 0L);
        EXPECT_FALSE(std::feof(file.fp()));
    }
}

TEST(FerroltCheck, RefusesNulBytesAndLinesTheTargetWouldSplit) {
    struct Case {
        std::string content;
        int verdict;
        long line;
    };
    const std::string x79(79, 'y');
    const std::vector<Case> cases = {
        {std::string("10 PRINT 1\n20 \0END\n", 19), kTextHoldsNul, 2},
        {std::string("\0", 1), kTextHoldsNul, 1},
        {std::string("10 PRINT 1\n20 END\n30 REM \0", 26), kTextHoldsNul, 3},
        {"10 REM\n20 REM\n" + x79 + "z\n", kTextLineTooLong, 3},
        {x79 + "z", kTextLineTooLong, 1},
        {x79 + "\n" + x79 + "\r\r\n", kTextLineTooLong, 2},  // a lone CR is typed, so it counts
        {x79 + x79 + "\n", kTextLineTooLong, 1},
        {x79 + "z" + std::string("\0", 1), kTextLineTooLong, 1},  // the first fault is named
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content));
        TextFile file(c.content);
        long badLine = 0;
        EXPECT_EQ(CheckProgramText(file.fp(), &badLine), c.verdict);
        EXPECT_EQ(badLine, c.line);
    }
}
