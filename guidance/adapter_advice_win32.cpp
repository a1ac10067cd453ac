// A local adapter's latency timer on Windows: a setting of its driver.
#include "guidance/link_hints.h"

void FormatAdapterLatencyAdvice(char* text, std::size_t size, const char*) {
    std::snprintf(text, size,
                  "A USB serial adapter holds what it receives for its latency timer (16 ms "
                  "by default on FTDI adapters). In Device Manager, under Ports (COM & LPT), "
                  "open the adapter's Properties, then Port Settings, Advanced, and set "
                  "Latency Timer (msec) to 1.\n");
}
