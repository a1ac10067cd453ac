#include "guidance/shell_quote.h"

std::size_t QuoteForHostShell(const char* word, char* out, std::size_t size) {
    return QuotePosixWord(word, out, size);
}
