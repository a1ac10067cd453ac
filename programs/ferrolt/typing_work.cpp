#include "programs/ferrolt/typing_work.h"

#include "input_file/text_file.h"

int CountTypingWork(std::FILE* fp, TypingWork* work) {
    *work = TypingWork{0, 0, 0, 0};
    char piece[kMaxPieceChars + 1];
    bool lineOpen = false;
    for (;;) {
        std::size_t length = 0;
        const TextRead got = ReadTextPiece(fp, piece, sizeof piece, &length);
        if (got == TextRead::kEnd) {
            break;
        }
        if (got != TextRead::kRead) {
            return -1;
        }
        ++work->pieces;
        for (std::size_t i = 0; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(piece[i]);
            if (byte >= 0x20 && byte <= 0x7F) {
                ++work->echoed;
            } else {
                ++work->unechoed;
            }
        }
        lineOpen = length > 0 && piece[length - 1] != '\n';
        if (!lineOpen) {
            ++work->lines;
        }
    }
    if (lineOpen) {
        ++work->lines;
    }
    return RewindText(fp);
}
