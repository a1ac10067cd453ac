#include "guidance/text_hints.h"

#include "guidance/guidance.h"

bool HoldsCrAlone(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' && (i + 1 == length || text[i + 1] != '\n')) {
            return true;
        }
    }
    return false;
}

void HintCrAloneLineEnds(const char* text, std::size_t length) {
    if (HoldsCrAlone(text, length)) {
        WriteGuidance(
            "Hint: old Mac line ends (a CR alone). Save it with LF or CR LF line ends.\n");
    }
}
