// The BASIC loader's text reading: whatever the text holds, pieces fit their
// buffer and together are the text with CR LF read as LF, and a text the
// check passes has no NUL byte, no CR alone and no line longer than a piece.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "programs/ferrolt/basic_text.h"
#include "programs/ferrolt/typing_work.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    char* text = CopyAsText(data, size);
    long badLine = 0;
    const bool sound = CheckProgramText(text, size, &badLine) == nullptr;
    Require(sound || badLine >= 1, "a refused text names its line");

    char piece[kMaxPieceChars + 1];
    std::string typed;
    std::size_t column = 0;
    bool longLine = false;
    bool nul = false;
    bool crAlone = false;
    std::size_t at = 0;
    std::size_t length = 0;
    while ((length = NextPiece(text, size, &at, piece, sizeof piece)) != 0) {
        Require(length <= kMaxPieceChars && piece[length] == '\0',
                "a piece fits its buffer and is terminated");
        for (std::size_t i = 0; i < length; ++i) {
            nul = nul || piece[i] == '\0';
            crAlone = crAlone || piece[i] == '\r';
            if (piece[i] == '\n') {
                column = 0;
            } else if (++column > kMaxPieceChars) {
                longLine = true;
            }
        }
        typed.append(piece, length);
    }
    std::string textMode;
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] != '\r' || i + 1 == size || text[i + 1] != '\n') {
            textMode += text[i];
        }
    }
    Require(typed == textMode, "the pieces are the text with CR LF read as LF");
    Require(!sound || (!nul && !longLine && !crAlone), "a passed text types as it stands");
    CountTypingWork(text, size);

    // Small buffers are never overrun.
    const std::size_t small = 2 + (size > 0 ? data[0] % 4 : 0);
    at = 0;
    while ((length = NextPiece(text, size, &at, piece, small)) != 0) {
        Require(length < small && piece[length] == '\0', "a short piece fits");
    }
    delete[] text;
    return 0;
}
