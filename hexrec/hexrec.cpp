#include "hexrec/hexrec.h"

#include <cstdlib>

int AsciiToHexVal(char c) {
    int value = c & 0x0F;
    if (static_cast<signed char>(c) > '9') {
        value += 9;
    }
    return value;
}

unsigned char HexStrToByte(const char* s) {
    return static_cast<unsigned char>(AsciiToHexVal(s[0]) * 16 + AsciiToHexVal(s[1]));
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int RecordLength(const char* line) {
    return HexStrToByte(line + 1);
}

int RecordType(const char* line) {
    char field[3] = {line[7], line[8], '\0'};
    return std::atoi(field);
}

bool IsEndRecord(int len, int type) {
    return len == 0 && type != 0;
}

std::size_t RecordChars(int len) {
    return 2 * static_cast<std::size_t>(len) + 11;
}

const char* CheckRecordLine(const char* line, std::size_t length) {
    if (length == 0 || line[0] != ':') {
        return "does not start with ':'";
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsHexDigit(line[i])) {
            return "holds a character that is not a hex digit";
        }
    }
    if (length < RecordChars(0)) {
        return "is too short for a record";
    }
    if (length != RecordChars(RecordLength(line))) {
        return "does not have the length its length field gives";
    }
    return nullptr;
}

uint32_t ExtendedAddress(const char* line, uint32_t base) {
    const int type = RecordType(line);
    if (RecordLength(line) != 2 ||
        (type != kExtendedSegmentRecord && type != kExtendedLinearRecord)) {
        return base;
    }
    const uint32_t value = HexStrToByte(line + 9) * 256u + HexStrToByte(line + 11);
    return type == kExtendedSegmentRecord ? value << 4 : value << 16;
}

uint32_t DataByteAddress(const char* line, uint32_t base, int index) {
    const uint32_t field = HexStrToByte(line + 3) * 256u + HexStrToByte(line + 5);
    return (base + field + static_cast<uint32_t>(index)) & 0xFFFF;
}
