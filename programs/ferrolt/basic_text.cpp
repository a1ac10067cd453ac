#include "programs/ferrolt/basic_text.h"

namespace {
static_assert(kMaxPieceChars == 79, "the reason below names the longest line");
constexpr const char* kLineTooLongWhy = "is longer than 79 characters";
constexpr const char* kHoldsNulWhy = "holds a NUL byte";
}  // namespace

TextCheck CheckProgramText(std::FILE* fp, long* badLine, const char** why, uint64_t* digest) {
    char piece[kMaxPieceChars + 1];
    long line = 1;
    std::size_t column = 0;
    for (;;) {
        std::size_t length = 0;
        const TextRead got = ReadTextPiece(fp, piece, sizeof piece, &length);
        if (got == TextRead::kEnd) {
            break;
        }
        if (got == TextRead::kReadError) {
            return TextCheck::kReadError;
        }
        if (digest != nullptr) {
            AddToDigest(digest, piece, length);
        }
        for (std::size_t i = 0; i < length; ++i) {
            if (piece[i] == '\0') {
                *badLine = line;
                *why = kHoldsNulWhy;
                return TextCheck::kBadLine;
            }
            if (piece[i] == '\n') {
                ++line;
                column = 0;
            } else if (++column > kMaxPieceChars) {
                *badLine = line;
                *why = kLineTooLongWhy;
                return TextCheck::kBadLine;
            }
        }
    }
    return RewindText(fp) == 0 ? TextCheck::kSound : TextCheck::kReadError;
}

int CheckProgramTextAndReport(std::FILE* fp, const char* name, uint64_t* digest) {
    long badLine = 0;
    const char* why = nullptr;
    // Checked first: the line and the reason are known only afterwards.
    const TextCheck checked = CheckProgramText(fp, &badLine, &why, digest);
    return ReportTextCheck(checked, name, badLine, why);
}
