#include "hexrec/dump_text.h"

#include "hexrec/hexrec.h"

int32_t ParseHexAddress(const char* text) {
    int32_t value = 0;
    std::size_t count = 0;
    // Stops at the fifth character at the latest, so an endless argument
    // costs nothing and is still refused.
    for (; text[count] != '\0' && count <= 4; ++count) {
        if (!IsHexDigit(text[count])) {
            return -1;
        }
        value = value * 16 + AsciiToHexVal(text[count]);
    }
    if (count == 0 || count > 4) {
        return -1;
    }
    return value;
}

const char* CheckDumpAnswer(const char* answer, std::size_t length, uint32_t address) {
    if (length < kDumpAnswerChars) {
        return "is short";
    }
    if (length > kDumpAnswerChars) {
        return "is too long";
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsHexDigit(answer[i])) {
            return "holds a character that is not a hex digit";
        }
    }
    // The record's bytes, its checksum included, add up to 0 modulo 256.
    unsigned sum = kDumpBytes + ((address >> 8) & 0xFF) + (address & 0xFF);
    for (std::size_t i = 0; i < length; i += 2) {
        sum += HexStrToByte(answer + i);
    }
    if ((sum & 0xFF) != 0) {
        return "has a checksum that does not match";
    }
    return nullptr;
}
