// Port arguments and port names, one set of rules for both hosts; what
// differs between them is stated by each backend (see port_name.h).
#include "serial/port_name.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "serial/serial_link.h"

long ComNameNumber(const char* name) {
    if (std::strncmp(name, "//./", 4) == 0 || std::strncmp(name, "\\\\.\\", 4) == 0) {
        name += 4;
    }
    if (strncasecmp(name, "COM", 3) != 0) {
        return -1;
    }
    const char* digits = name + 3;
    long n = 0;
    int count = 0;
    for (; *digits >= '0' && *digits <= '9' && count <= 6; ++digits, ++count) {
        n = n * 10 + (*digits - '0');
    }
    return count == 0 || count > 6 || *digits != '\0' ? -1 : n;
}

int ComDevicePath(const char* name, char* path, std::size_t size) {
    long n = ComNameNumber(name);
    int written;
    if (n == 0) {
        return -1;  // COM ports are numbered from 1; COM0 names nothing
    }
    if (n > 0 && kComDevicePrefix != nullptr) {
        written = std::snprintf(path, size, "%s%ld", kComDevicePrefix, n - 1);
    } else {
        written = std::snprintf(path, size, "%s", name);
    }
    return (written < 0 || static_cast<std::size_t>(written) >= size) ? -1 : 0;
}

int BuildComPortName(const char* text, char* portName, std::size_t size) {
    char name[kComPortNameSize];
    int written;
    const bool network = NetPortKind(text) != NetKind::kNone;
    if (network && std::strlen(text) >= kNetPortNameSize) {
        return -1;
    }
    if (network || (kPortArgumentMayBeDevicePath && std::strchr(text, '/') != nullptr)) {
        written = std::snprintf(name, sizeof name, "%s", text);
    } else {
        int number = std::atoi(text);
        // Single-digit ports keep their plain name; from COM10 on only the
        // device namespace reaches them on Windows.
        written = std::snprintf(name, sizeof name, number <= 9 ? "COM%d" : "//./COM%d", number);
        // A COM number names the same port on every host, so it meets the
        // Windows programs' limit everywhere: five digits are refused alike.
        if (written >= 0 && static_cast<std::size_t>(written) >= kComNumberNameSize) {
            return -1;
        }
    }
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof name ||
        static_cast<std::size_t>(written) >= size) {
        return -1;
    }
    std::memcpy(portName, name, static_cast<std::size_t>(written) + 1);
    return 0;
}
