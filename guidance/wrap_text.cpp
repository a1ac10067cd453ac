// The hints' lines broken at spaces to the width of the terminal.
#include "guidance/guidance.h"

std::size_t WrapText(const char* text, int width, char* out, std::size_t size) {
    std::size_t length = 0;
    const auto put = [&](char c, std::size_t count) {
        for (; count > 0 && length + 1 < size; --count) {
            out[length++] = c;
        }
    };
    std::size_t column = 0;
    std::size_t indent = 0;  // of the line being written
    bool leading = true;     // no word of the line written yet
    for (const char* at = text; *at != '\0';) {
        if (*at == '\n') {
            put('\n', 1);
            column = indent = 0;
            leading = true;
            ++at;
            continue;
        }
        std::size_t spaces = 0;
        while (at[spaces] == ' ') {
            ++spaces;
        }
        std::size_t word = 0;
        while (at[spaces + word] != '\0' && at[spaces + word] != ' ' && at[spaces + word] != '\n') {
            ++word;
        }
        if (leading) {
            indent = spaces;
        }
        // A word longer than a whole line stays whole.
        if (!leading && word > 0 && column + spaces + word > static_cast<std::size_t>(width) &&
            column > indent + kWrapIndent) {
            put('\n', 1);
            put(' ', indent + kWrapIndent);
            column = indent + kWrapIndent;
        } else {
            put(' ', spaces);
            column += spaces;
        }
        for (std::size_t i = 0; i < word; ++i) {
            put(at[spaces + i], 1);
        }
        column += word;
        leading = leading && word == 0;
        at += spaces + word;
    }
    if (size > 0) {
        out[length] = '\0';
    }
    return length;
}
