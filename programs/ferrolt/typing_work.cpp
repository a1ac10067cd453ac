#include "programs/ferrolt/typing_work.h"

#include "programs/ferrolt/basic_text.h"

TypingWork CountTypingWork(const char* text, std::size_t length) {
    TypingWork work{0, 0, 0, 0};
    char piece[kMaxPieceChars + 1];
    std::size_t at = 0;
    bool lineOpen = false;
    std::size_t count = 0;
    while ((count = NextPiece(text, length, &at, piece, sizeof piece)) != 0) {
        ++work.pieces;
        for (std::size_t i = 0; i < count; ++i) {
            const auto byte = static_cast<unsigned char>(piece[i]);
            if (byte >= 0x20 && byte <= 0x7F) {
                ++work.echoed;
            } else {
                ++work.unechoed;
            }
        }
        lineOpen = piece[count - 1] != '\n';
        if (!lineOpen) {
            ++work.lines;
        }
    }
    if (lineOpen) {
        ++work.lines;
    }
    return work;
}
