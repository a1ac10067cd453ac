#include "programs/ferrolt/basic_text.h"

namespace {
static_assert(kMaxPieceChars == 79, "the reason below names the longest line");
constexpr const char* kLineTooLongWhy = "is longer than 79 characters";
constexpr const char* kHoldsNulWhy = "holds a NUL byte";
}  // namespace

std::size_t NextPiece(const char* text, std::size_t length, std::size_t* at, char* piece,
                      std::size_t size) {
    std::size_t count = 0;
    while (count + 1 < size && *at < length) {
        char c = text[(*at)++];
        if (c == '\r' && *at < length && text[*at] == '\n') {
            c = text[(*at)++];
        }
        piece[count++] = c;
        if (c == '\n') {
            break;
        }
    }
    piece[count] = '\0';
    return count;
}

const char* CheckProgramText(const char* text, std::size_t length, long* badLine) {
    *badLine = 1;
    std::size_t column = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') {
            continue;  // read as the LF after it
        }
        if (text[i] == '\0') {
            return kHoldsNulWhy;
        }
        if (text[i] == '\r') {
            return kCrAloneWhy;
        }
        if (text[i] == '\n') {
            ++*badLine;
            column = 0;
        } else if (++column > kMaxPieceChars) {
            return kLineTooLongWhy;
        }
    }
    return nullptr;
}
