#include "run/arguments.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "guidance/port_hints.h"
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
    if (!path) {
        HintPortNumberOutOfRange(text);
    }
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

long OptionValue(const char* text, long most) {
    long value = 0;
    for (const char* digit = text; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9' || value > most) {
            return -1;
        }
        value = value * 10 + (*digit - '0');
    }
    return *text == '\0' || value > most ? -1 : value;
}

int TakeUploadOptions(int argc, char* argv[], int* retries, long* fromLine) {
    int at = 1;
    for (; at < argc; at += 2) {
        const bool retry = std::strcmp(argv[at], "--retry") == 0;
        if (!retry && std::strcmp(argv[at], "--from-line") != 0) {
            break;
        }
        const char* text = at + 1 < argc ? argv[at + 1] : "";
        const long value = OptionValue(text, retry ? 9 : 999999999L);
        if (retry && value >= 0) {
            *retries = static_cast<int>(value);
        } else if (!retry && value >= 1) {
            *fromLine = value;
        } else {
            std::printf("\n ERROR! Bad %s value '%s' (give %s)\n", argv[at], text,
                        retry ? "0 to 9" : "a line number from 1");
            return -1;
        }
    }
    return at;
}
