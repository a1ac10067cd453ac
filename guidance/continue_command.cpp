// The command that continues an upload cut short, as guidance.h declares it.
#include <cstdio>

#include "guidance/guidance.h"
#include "guidance/shell_quote.h"

void SuggestContinuing(const char* program, long line, int retries, const char* file,
                       const char* port) {
    // Quoted for this host's shell, so the line can be pasted as it stands.
    static char quoted[4 * 4096 + 3];
    std::fprintf(stderr, "To continue: %s", program);
    if (retries > 0) {
        std::fprintf(stderr, " --retry %d", retries);
    }
    QuoteForHostShell(file, quoted, sizeof quoted);
    std::fprintf(stderr, " --from-line %ld %s", line, quoted);
    if (port != nullptr) {
        QuoteForHostShell(port, quoted, sizeof quoted);
        std::fprintf(stderr, " %s", quoted);
    }
    std::fputc('\n', stderr);
}
