// Network ports: whatever the server sends, the telnet of rfc2217:// keeps
// its data and replies within the buffers its contract sizes (the data no
// longer than what came, the replies at most three bytes for each), however
// the bytes are split across reads; and any port name splits into buffers
// of exactly the size given, or is refused.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "serial/net_port.h"
#include "serial/rfc2217.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The first byte sets the size of the reads (1 to 64 bytes).
    const std::size_t chunk = size > 0 ? data[0] % 64 + 1 : 1;
    Rfc2217 state;
    for (std::size_t at = size > 0 ? 1 : 0; at < size; at += chunk) {
        const std::size_t count = size - at < chunk ? size - at : chunk;
        auto* kept = new unsigned char[count];
        auto* reply = new unsigned char[3 * count];
        std::size_t replyLength = 0;
        const std::size_t n = TakeRfc2217(&state, data + at, count, kept, reply, &replyLength);
        Require(n <= count && replyLength <= 3 * count, "data and replies fit their buffers");
        delete[] kept;
        delete[] reply;
    }

    char* text = CopyAsText(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    const std::size_t hostSize = chunk;
    auto* host = new char[hostSize];
    auto* service = new char[6];
    if (SplitNetPortName(text, host, hostSize, service, 6) == 0) {
        Require(std::memchr(host, '\0', hostSize) != nullptr, "the host is terminated");
        Require(std::memchr(service, '\0', 6) != nullptr, "the port is terminated");
    }
    delete[] host;
    delete[] service;
    delete[] text;
    return 0;
}
