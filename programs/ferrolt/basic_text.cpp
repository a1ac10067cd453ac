#include "programs/ferrolt/basic_text.h"

#include "programs/common/input_file.h"

namespace {
constexpr int kCtrlZ = 0x1A;
}

int ReadTextPiece(std::FILE* fp, char* piece, std::size_t size, std::size_t* length) {
    *length = 0;
    if (size > 0) {
        piece[0] = '\0';
    }
    if (size < 2) {
        return kPieceReadError;
    }
    std::size_t count = 0;
    while (count + 1 < size) {
        int c = std::getc(fp);
        if (c == EOF) {
            if (std::ferror(fp)) {
                piece[0] = '\0';
                return kPieceReadError;
            }
            break;
        }
        if (c == kCtrlZ) {
            // Pushed back rather than sought past, so the end holds on streams
            // that cannot seek as well: every later read meets it again.
            std::ungetc(c, fp);
            break;
        }
        if (c == '\r') {
            int next = std::getc(fp);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, fp);
            } else if (std::ferror(fp)) {
                piece[0] = '\0';
                return kPieceReadError;
            }
        }
        piece[count++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    piece[count] = '\0';
    *length = count;
    return count == 0 ? kPieceEndOfFile : kPieceRead;
}

int CheckProgramText(std::FILE* fp, long* badLine, uint64_t* digest) {
    char piece[kMaxPieceChars + 1];
    long line = 1;
    std::size_t column = 0;
    for (;;) {
        std::size_t length = 0;
        int got = ReadTextPiece(fp, piece, sizeof piece, &length);
        if (got == kPieceEndOfFile) {
            break;
        }
        if (got == kPieceReadError) {
            return kPieceReadError;
        }
        if (digest != nullptr) {
            AddToDigest(digest, piece, length);
        }
        for (std::size_t i = 0; i < length; ++i) {
            if (piece[i] == '\0') {
                *badLine = line;
                return kTextHoldsNul;
            }
            if (piece[i] == '\n') {
                ++line;
                column = 0;
            } else if (++column > kMaxPieceChars) {
                *badLine = line;
                return kTextLineTooLong;
            }
        }
    }
    if (std::fseek(fp, 0, SEEK_SET) != 0) {
        return kPieceReadError;
    }
    return 0;
}
