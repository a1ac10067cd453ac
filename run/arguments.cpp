#include "run/arguments.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "serial/port_name.h"
#include "serial/serial_link.h"

int CheckArgumentCount(int argc, int needed, const char* usage) {
    if (argc >= needed) {
        return 0;
    }
    std::printf("\n ERROR! Too Few Arguments\n Usage: %s\n", usage);
    return -1;
}

int CheckFileNameFits(const char* text, std::size_t size) {
    if (std::strlen(text) < size) {
        return 0;
    }
    std::printf("\n ERROR! File name too long (at most %zu characters)\n", size - 1);
    return -1;
}

int TakePortArgument(const char* text, char* portName, std::size_t size) {
    if (BuildComPortName(text, portName, size) == 0) {
        return 0;
    }
    // A network port is held to its own bound, a number to the COM name's
    // limit, a device path to the buffer.
    const bool path = kPortArgumentMayBeDevicePath && std::strchr(text, '/') != nullptr;
    std::size_t limit = size;
    if (NetPortKind(text) != NetKind::kNone) {
        limit = std::min(size, kNetPortNameSize);
    } else if (!path) {
        limit = std::min(size, kComNumberNameSize);
    }
    std::printf("\n ERROR! Port '%s' does not fit a port name (at most %zu characters)\n", text,
                limit - 1);
    return -1;
}

Outcome TakeFileArgument(int argc, char* argv[], int at, const char* usage,
                         std::size_t fileNameSize) {
    if (CheckArgumentCount(argc, at + 1, usage) != 0 ||
        CheckFileNameFits(argv[at], fileNameSize) != 0) {
        return Outcome::kBadArguments;
    }
    return Outcome::kDone;
}

Outcome TakeFileAndPort(int argc, char* argv[], int at, const char* usage, std::size_t fileNameSize,
                        char* portName, std::size_t portNameSize) {
    if (TakeFileArgument(argc, argv, at, usage, fileNameSize) != Outcome::kDone) {
        return Outcome::kBadArguments;
    }
    if (argc > at + 1 && TakePortArgument(argv[at + 1], portName, portNameSize) != 0) {
        return Outcome::kBadArguments;
    }
    return Outcome::kDone;
}
