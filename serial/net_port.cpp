#include "serial/net_port.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

NetKind NetPortKind(const char* name) {
    if (strncasecmp(name, "tcp://", 6) == 0) {
        return NetKind::kRawTcp;
    }
    if (strncasecmp(name, "rfc2217://", 10) == 0) {
        return NetKind::kRfc2217;
    }
    return NetKind::kNone;
}

int SplitNetPortName(const char* name, char* host, std::size_t hostSize, char* service,
                     std::size_t serviceSize) {
    const char* from = std::strstr(name, "://");
    if (NetPortKind(name) == NetKind::kNone || from == nullptr) {
        return -1;
    }
    from += 3;
    const char* hostEnd = nullptr;
    const char* colon = nullptr;
    if (*from == '[') {
        ++from;
        hostEnd = std::strchr(from, ']');
        colon = hostEnd != nullptr ? hostEnd + 1 : nullptr;
        if (colon == nullptr || *colon != ':') {
            return -1;
        }
    } else {
        // An IPv6 address needs its brackets: the first colon ends the host.
        colon = std::strchr(from, ':');
        hostEnd = colon;
    }
    if (colon == nullptr || hostEnd == from) {
        return -1;
    }
    const char* digits = colon + 1;
    long number = 0;
    std::size_t count = 0;
    for (; digits[count] != '\0'; ++count) {
        if (digits[count] < '0' || digits[count] > '9' || count >= 5) {
            return -1;
        }
        number = number * 10 + (digits[count] - '0');
    }
    if (count == 0 || number < 1 || number > 65535) {
        return -1;
    }
    const std::size_t hostLength = static_cast<std::size_t>(hostEnd - from);
    if (hostLength >= hostSize || count >= serviceSize) {
        return -1;
    }
    std::memcpy(host, from, hostLength);
    host[hostLength] = '\0';
    std::snprintf(service, serviceSize, "%ld", number);
    return 0;
}
