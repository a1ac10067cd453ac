#include "guidance/shell_quote.h"

#include <cstring>

namespace {

// Adds `text` to `out` while it fits; `*used` counts what is there.
void Append(const char* text, char* out, std::size_t size, std::size_t* used) {
    for (; *text != '\0' && *used + 1 < size; ++text) {
        out[(*used)++] = *text;
    }
    out[*used] = '\0';
}

bool AllIn(const char* word, const char* safe) {
    if (*word == '\0') {
        return false;  // an empty word must be quoted to be a word at all
    }
    for (; *word != '\0'; ++word) {
        const auto c = static_cast<unsigned char>(*word);
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && std::strchr(safe, c) == nullptr) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::size_t QuotePosixWord(const char* word, char* out, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::size_t used = 0;
    out[0] = '\0';
    if (AllIn(word, "-_./:=+,@%")) {
        Append(word, out, size, &used);
        return used;
    }
    Append("'", out, size, &used);
    for (const char* at = word; *at != '\0'; ++at) {
        const char one[2] = {*at, '\0'};
        Append(*at == '\'' ? "'\\''" : one, out, size, &used);
    }
    Append("'", out, size, &used);
    return used;
}

std::size_t QuoteWindowsWord(const char* word, char* out, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::size_t used = 0;
    out[0] = '\0';
    const bool safe = AllIn(word, "-_./\\:+@");
    if (!safe) {
        Append("\"", out, size, &used);
    }
    Append(word, out, size, &used);
    if (!safe) {
        Append("\"", out, size, &used);
    }
    return used;
}
