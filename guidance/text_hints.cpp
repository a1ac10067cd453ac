#include "guidance/text_hints.h"

#include <cstdio>
#include <cstring>

#include "guidance/guidance.h"
#include "guidance/prompt_hints.h"

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

void HintUntypedEcho(const char* untyped, int typed) {
    char shown[4 * 33];
    FormatPrintable(untyped, shown, sizeof shown);
    const char typedText[2] = {static_cast<char>(typed), '\0'};
    char typedShown[8];
    FormatPrintable(typedText, typedShown, sizeof typedShown);
    const std::size_t count = std::strlen(untyped);
    static char text[512];
    std::snprintf(text, sizeof text,
                  "Hint: the echo of '%s' came after %zu character%s that %s not typed "
                  "(\"%s\"): another program is writing on the board's line (a terminal "
                  "program, or a second run, on the same port). Close it and try again.\n",
                  typedShown, count, count == 1 ? "" : "s", count == 1 ? "was" : "were", shown);
    WriteGuidance(text);
}

void HintLinkIntoNoFolder(const char* name, const char* target) {
    static char text[2 * 4096 + 128];
    std::snprintf(text, sizeof text,
                  "Hint: '%s' is a link to '%s', and the folder of that file is not there: "
                  "make the folder, or give the file's own name.\n",
                  name, target);
    WriteGuidance(text);
}
