// The BASIC loader's text reading: whatever the file holds, pieces fit their
// buffer, together they are the text as the host's text mode reads it (CR LF
// as LF, up to a Ctrl-Z), and a text the check passes has no NUL byte and no
// line longer than a piece.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_input.h"
#include "programs/ferrolt/basic_text.h"

namespace {

// The text as the typing should see it: CR LF read as LF, ended by Ctrl-Z.
std::string AsTextMode(const uint8_t* data, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') {
            continue;
        }
        text += static_cast<char>(data[i]);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The check before the port opens.
    std::FILE* fp = OpenInput(data, size);
    if (fp == nullptr) {
        return 0;
    }
    long badLine = 0;
    const char* why = nullptr;
    const TextCheck checked = CheckProgramText(fp, &badLine, &why);
    Require(checked != TextCheck::kReadError, "a stream in memory always reads");
    if (checked != TextCheck::kSound) {
        Require(badLine >= 1 && why != nullptr, "a refused text names its line and why");
    }

    // The typing's pieces, read as Ferrolt reads them after the check.
    std::fclose(fp);
    fp = OpenInput(data, size);
    if (fp == nullptr) {
        return 0;
    }
    char* piece = new char[kMaxPieceChars + 1];
    std::string typed;
    std::size_t column = 0;
    bool longLine = false;
    bool nul = false;
    for (;;) {
        std::size_t length = 0;
        TextRead got = ReadTextPiece(fp, piece, kMaxPieceChars + 1, &length);
        if (got == TextRead::kEnd) {
            Require(length == 0, "the end of the text is an empty piece");
            break;
        }
        Require(got == TextRead::kRead, "a stream in memory always reads");
        Require(length >= 1 && length <= kMaxPieceChars && piece[length] == '\0',
                "a piece fits its buffer and is terminated");
        for (std::size_t i = 0; i < length; ++i) {
            nul = nul || piece[i] == '\0';
            if (piece[i] == '\n') {
                column = 0;
            } else if (++column > kMaxPieceChars) {
                longLine = true;
            }
        }
        typed.append(piece, length);
    }
    delete[] piece;
    std::fclose(fp);
    Require(typed == AsTextMode(data, size), "the pieces are the text in text mode");
    if (checked == TextCheck::kSound) {
        Require(!nul && !longLine, "a passed text has no NUL and no over-long line");
    }

    // Buffers too small for a piece are refused, not overrun.
    fp = OpenInput(data, size);
    if (fp == nullptr) {
        return 0;
    }
    const std::size_t small = size > 0 ? data[0] % 4 : 0;
    char* tiny = new char[small + 1];
    std::size_t length = 99;
    TextRead got = ReadTextPiece(fp, tiny, small, &length);
    Require(length < small || (small == 0 && length == 0), "a tiny piece fits");
    Require(small >= 2 || got == TextRead::kReadError, "a buffer under 2 bytes is refused");
    delete[] tiny;
    std::fclose(fp);
    return 0;
}
