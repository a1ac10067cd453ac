// Reading a program's input text: record lines and BASIC pieces from the one
// byte source, its Ctrl-Z rule, read failures, the digest and the report of
// a refused text.
#include "input_file/text_file.h"

#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/launch.h"

namespace {

using Texts = std::vector<std::string>;

const std::string kCtrlZ = "\x1A";
const std::string kX79(79, 'x');

// An open file with `content`, closed at the end of the test.
struct OpenFile {
    explicit OpenFile(const std::string& content) {
        fp = std::fopen(dir.Write("text", content).c_str(), "rb");
    }
    ~OpenFile() {
        std::fclose(fp);
    }
    TempDir dir;
    std::FILE* fp = nullptr;
};

// A stream over `content` that cannot seek, and whose reads fail once
// `failAt` bytes have been given (never when `failAt` is npos).
struct Memory {
    std::string content;
    std::size_t failAt;
    std::size_t at = 0;
};

ssize_t ReadMemory(void* cookie, char* buf, std::size_t size) {
    auto* memory = static_cast<Memory*>(cookie);
    std::size_t end = std::min(memory->content.size(), memory->failAt);
    if (memory->at >= end) {
        if (memory->at >= memory->failAt) {
            errno = EIO;
            return -1;
        }
        return 0;
    }
    const std::size_t count = std::min(size, end - memory->at);
    memory->content.copy(buf, count, memory->at);
    memory->at += count;
    return static_cast<ssize_t>(count);
}

int CloseMemory(void* cookie) {
    delete static_cast<Memory*>(cookie);
    return 0;
}

std::FILE* OpenMemory(const std::string& content, std::size_t failAt = std::string::npos) {
    cookie_io_functions_t io{ReadMemory, nullptr, nullptr, CloseMemory};
    return fopencookie(new Memory{content, failAt}, "rb", io);
}

// What one reader gives from a stream to its end: the lines or pieces, and
// how the last read ended (kEnd, or where it failed).
struct Reading {
    Texts texts;
    TextRead last = TextRead::kRead;
};

using Reader = TextRead (*)(std::FILE*, char*, std::size_t, std::size_t*);

// Reads `fp` with `reader` and buffers of `size` bytes until it stops giving
// kRead; a stream that ended must keep ending on two more reads.
Reading ReadAll(std::FILE* fp, Reader reader, std::size_t size) {
    Reading reading;
    std::vector<char> buf(size);
    std::size_t length = 0;
    while (reading.texts.size() < 100 &&
           (reading.last = reader(fp, buf.data(), size, &length)) == TextRead::kRead) {
        EXPECT_EQ(buf[length], '\0');
        reading.texts.emplace_back(buf.data(), length);
    }
    if (reading.last == TextRead::kEnd) {
        // The end holds: a Ctrl-Z is met again, never the text behind it.
        EXPECT_EQ(reader(fp, buf.data(), size, &length), TextRead::kEnd);
        EXPECT_EQ(reader(fp, buf.data(), size, &length), TextRead::kEnd);
    }
    return reading;
}

// Every piece of `content` read with pieces of `size` bytes, to the end.
Texts Pieces(const std::string& content, std::size_t size = kMaxPieceChars + 1) {
    OpenFile file(content);
    const Reading reading = ReadAll(file.fp, ReadTextPiece, size);
    EXPECT_EQ(reading.last, TextRead::kEnd);
    return reading.texts;
}

}  // namespace

TEST(TextLines, LfCrLfAndNoFinalNewlineReadAlike) {
    OpenFile file(":A\n:B\r\n\n:C");
    char line[16];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":A");
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":B");
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":C");
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kEnd);
}

TEST(TextLines, CtrlZEndsTheFile) {
    OpenFile file(":A\n\x1A:B\n");
    char line[16];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kEnd);
}

TEST(TextLines, ALineTooLongForTheBufferIsReportedAndSkipped) {
    OpenFile file("0123456789ABCDEF\n:X\n");
    char line[8];
    std::size_t length = 0;
    EXPECT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kTooLong);
    EXPECT_EQ(length, 7u);
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":X");
}

TEST(TextLines, RefusesABufferOfNoBytes) {
    OpenFile file(":A\n");
    char line[4] = "###";
    std::size_t length = 7;
    EXPECT_EQ(ReadTextLine(file.fp, line, 0, &length), TextRead::kReadError);
    EXPECT_EQ(length, 7u);
    EXPECT_STREQ(line, "###");
    ASSERT_EQ(ReadTextLine(file.fp, line, sizeof line, &length), TextRead::kRead);
    EXPECT_STREQ(line, ":A");  // the refused read took nothing
}

TEST(TextPieces, SplitAsTheTypingSendsThem) {
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

TEST(TextPieces, RefusesBuffersTooSmallAndReportsReadFailures) {
    TempDir dir;
    std::FILE* fp = std::fopen(dir.Write("prog.bas", "ABC\n").c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    char piece[8] = "#######";
    std::size_t length = 7;
    EXPECT_EQ(ReadTextPiece(fp, piece, 1, &length), TextRead::kReadError);
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(piece, "");
    EXPECT_EQ(piece[1], '#');
    EXPECT_EQ(ReadTextPiece(fp, piece, sizeof piece, &length), TextRead::kRead);
    EXPECT_STREQ(piece, "ABC\n");  // the refused read took nothing
    std::fclose(fp);

    // A directory opens as a stream here, and reading it fails: that is no end of file.
    fp = std::fopen(dir.path().c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(ReadTextPiece(fp, piece, sizeof piece, &length), TextRead::kReadError);
    std::fclose(fp);
}

// The rule both readers share, on a file and on a stream that cannot seek:
// a Ctrl-Z ends the text wherever it stands, and the end holds.
TEST(TextEnd, CtrlZEndsLinesAndPiecesAlikeOnAnyStream) {
    struct Case {
        std::string content;
        Texts lines;
        Texts pieces;
    };
    const std::vector<Case> cases = {
        {kCtrlZ + "10 A\n", {}, {}},
        {"10 A\n" + kCtrlZ + "20 B\n", {"10 A"}, {"10 A\n"}},
        // Mid-line: the line so far is read, nothing behind the Ctrl-Z.
        {"10 A" + kCtrlZ + "B\n20 C\n", {"10 A"}, {"10 A"}},
        // Right after a CR: no LF follows it, so a piece keeps the CR; a line
        // drops it with the line end as ever.
        {"10 A\r" + kCtrlZ + "\n20 B\n", {"10 A"}, {"10 A\r"}},
        {"10 A\r\n20 B" + kCtrlZ, {"10 A", "20 B"}, {"10 A\n", "20 B"}},
        {"10 A\r\n20 B", {"10 A", "20 B"}, {"10 A\n", "20 B"}},
        {"10 A\r", {"10 A"}, {"10 A\r"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content));
        for (const bool seekable : {true, false}) {
            SCOPED_TRACE(seekable ? "file" : "stream that cannot seek");
            OpenFile file(c.content);
            std::FILE* fp = seekable ? file.fp : OpenMemory(c.content);
            ASSERT_NE(fp, nullptr);
            const Reading lines = ReadAll(fp, ReadTextLine, 32);
            EXPECT_EQ(lines.last, TextRead::kEnd);
            EXPECT_EQ(lines.texts, c.lines);
            if (!seekable) {
                std::fclose(fp);
                fp = OpenMemory(c.content);
            } else {
                ASSERT_EQ(RewindText(fp), 0);
            }
            const Reading pieces = ReadAll(fp, ReadTextPiece, kMaxPieceChars + 1);
            EXPECT_EQ(pieces.last, TextRead::kEnd);
            EXPECT_EQ(pieces.texts, c.pieces);
            if (!seekable) {
                std::fclose(fp);
            }
        }
    }
}

// A failing read is never taken for the end of the text, and the line or
// piece it interrupts is not given out in part.
TEST(TextEnd, AReadFailureIsNoEndForEitherReader) {
    struct Case {
        std::string content;
        std::size_t failAt;
        Texts lines;
        Texts pieces;
    };
    const std::vector<Case> cases = {
        {"10 A\n", 0, {}, {}},
        {"10 A\n20 B\n", 7, {"10 A"}, {"10 A\n"}},
        // Right after a CR, while looking for its LF.
        {"10 A\r\n", 5, {}, {}},
        {"10 A\n20 B", 9, {"10 A"}, {"10 A\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.content) + " failing at " +
                     std::to_string(c.failAt));
        std::FILE* fp = OpenMemory(c.content, c.failAt);
        ASSERT_NE(fp, nullptr);
        const Reading lines = ReadAll(fp, ReadTextLine, 32);
        EXPECT_EQ(lines.last, TextRead::kReadError);
        EXPECT_EQ(lines.texts, c.lines);
        std::fclose(fp);
        fp = OpenMemory(c.content, c.failAt);
        ASSERT_NE(fp, nullptr);
        const Reading pieces = ReadAll(fp, ReadTextPiece, kMaxPieceChars + 1);
        EXPECT_EQ(pieces.last, TextRead::kReadError);
        EXPECT_EQ(pieces.texts, c.pieces);
        std::fclose(fp);
    }
}

TEST(TextFile, RewindGoesBackToTheStartPastAnEnd) {
    OpenFile file("10 A\n" + kCtrlZ);
    char piece[kMaxPieceChars + 1];
    std::size_t length = 0;
    ASSERT_EQ(ReadTextPiece(file.fp, piece, sizeof piece, &length), TextRead::kRead);
    ASSERT_EQ(ReadTextPiece(file.fp, piece, sizeof piece, &length), TextRead::kEnd);
    ASSERT_EQ(RewindText(file.fp), 0);
    EXPECT_EQ(std::ftell(file.fp), 0L);
    EXPECT_FALSE(std::feof(file.fp));
    ASSERT_EQ(ReadTextPiece(file.fp, piece, sizeof piece, &length), TextRead::kRead);
    EXPECT_STREQ(piece, "10 A\n");

    std::FILE* fp = OpenMemory("10 A\n");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(RewindText(fp), -1);  // a stream that cannot seek says so
    std::fclose(fp);
}

TEST(TextFile, TheDigestTellsTextAndSplitApart) {
    auto digestOf = [](const Texts& texts) {
        uint64_t digest = kDigestStart;
        for (const auto& text : texts) {
            AddToDigest(&digest, text.data(), text.size());
        }
        return digest;
    };
    EXPECT_EQ(digestOf({"10 A\n", "20 B"}), digestOf({"10 A\n", "20 B"}));
    EXPECT_NE(digestOf({"10 A\n", "20 B"}), digestOf({"10 A\n20 B"}));
    EXPECT_NE(digestOf({"10 A\n"}), digestOf({"10 B\n"}));
    EXPECT_NE(digestOf({""}), digestOf({}));
}

TEST(TextFile, ARefusedTextIsReportedWithItsLineOrAsUnreadable) {
    struct Case {
        TextCheck checked;
        int result;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {TextCheck::kSound, 0, ""},
        {TextCheck::kBadLine, -1, "ERROR: Line 3 of 'p.bas' holds a NUL byte; nothing was sent\n"},
        {TextCheck::kReadError, -1, "ERROR: Cannot Read File 'p.bas'\n"},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(ReportTextCheck(c.checked, "p.bas", 3, "holds a NUL byte"), c.result);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    }
}
