#include "guidance/prompt_hints.h"

#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "guidance/guidance.h"

void FormatPrintable(const char* bytes, char* text, std::size_t size) {
    if (size == 0) {
        return;
    }
    std::size_t used = 0;
    for (const char* at = bytes; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        char shown[5] = {static_cast<char>(byte), '\0'};
        if (byte == '\r' || byte == '\n' || byte == '\t' || byte == '\\') {
            shown[0] = '\\';
            shown[1] = byte == '\r' ? 'r' : byte == '\n' ? 'n' : byte == '\t' ? 't' : '\\';
            shown[2] = '\0';
        } else if (byte < 0x20 || byte >= 0x7F) {
            std::snprintf(shown, sizeof shown, "\\x%02X", static_cast<unsigned>(byte));
        }
        std::size_t length = 0;
        while (shown[length] != '\0') {
            ++length;
        }
        // A character is shown whole or not at all.
        if (used + length >= size) {
            break;
        }
        for (std::size_t i = 0; i < length; ++i) {
            text[used++] = shown[i];
        }
    }
    text[used] = '\0';
}

void HintPromptNeverCame() {
    const PromptMiss& miss = LastPromptMiss();
    char shown[4 * sizeof miss.start];
    FormatPrintable(miss.start, shown, sizeof shown);
    const bool cut = miss.received > static_cast<long>(std::strlen(miss.start));
    const bool monitor = std::strcmp(miss.pattern, "$$$") == 0;
    static char text[640];
    std::snprintf(text, sizeof text,
                  "Hint: the prompt \"%s\" never came; instead came %ld byte%s of other "
                  "text, beginning \"%s%s\", %s. %s\n",
                  miss.pattern, miss.received, miss.received == 1 ? "" : "s", shown,
                  cut ? "..." : "",
                  miss.keptSending ? "and the line was still busy" : "then silence",
                  monitor ? "The port may lead to something other than the board's monitor "
                            "(another device, or a server that is no serial-port server), or "
                            "the board runs other firmware."
                          : "The board's BASIC may not be the one this program knows, or "
                            "another program is writing on the line.");
    WriteGuidance(text);
}

void HintBoardLeftInBasic() {
    WriteGuidance(
        "The board is now in BASIC, not in its monitor: before the next run of a program "
        "that wakes the monitor, reset the board (a simulated target: start it again).\n");
}
