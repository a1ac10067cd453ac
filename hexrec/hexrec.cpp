#include "hexrec/hexrec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    // The data bytes each type takes; -1: any number.
    static constexpr int kTypeLength[] = {-1, 0, 2, 4, 2, 4};
    if (length > kMaxRecordChars) {
        return "is longer than the largest record";
    }
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
    const int len = RecordLength(line);
    if (length != RecordChars(len)) {
        return "does not have the length its length field gives";
    }
    // Read as a decimal number, "0A" would pass for type 0.
    if (line[7] != '0' || line[8] < '0' || line[8] > '5') {
        return "has a record type other than 00 to 05";
    }
    const int wanted = kTypeLength[line[8] - '0'];
    if (wanted >= 0 && len != wanted) {
        return "has a length its record type does not take";
    }
    return nullptr;
}

const char* NextLine(const char* text, std::size_t length, std::size_t* at,
                     std::size_t* lineLength) {
    if (*at >= length) {
        return nullptr;
    }
    const char* line = text + *at;
    const auto* lf = static_cast<const char*>(std::memchr(line, '\n', length - *at));
    std::size_t count = lf != nullptr ? static_cast<std::size_t>(lf - line) : length - *at;
    *at += count + (lf != nullptr ? 1 : 0);
    if (count > 0 && line[count - 1] == '\r') {
        --count;
    }
    *lineLength = count;
    return line;
}

const char* CheckRecordText(const char* text, std::size_t length, long* badLine) {
    std::size_t at = 0;
    std::size_t count = 0;
    for (long number = 1;; ++number) {
        const char* line = NextLine(text, length, &at, &count);
        if (line == nullptr) {
            return nullptr;
        }
        if (count == 0) {
            continue;
        }
        const char* fault = CheckRecordLine(line, count);
        if (fault != nullptr) {
            *badLine = number;
            return fault;
        }
        if (IsEndRecord(RecordLength(line), RecordType(line))) {
            return nullptr;
        }
    }
}

std::size_t NextRecord(const char* text, std::size_t length, std::size_t* at, long* lineNumber,
                       char* line, std::size_t size) {
    std::size_t count = 0;
    const char* next = nullptr;
    do {
        next = NextLine(text, length, at, &count);
        if (next == nullptr) {
            return 0;
        }
        ++*lineNumber;
    } while (count == 0);
    count = count < size ? count : size - 1;
    std::memcpy(line, next, count);
    line[count] = '\0';
    return IsEndRecord(RecordLength(line), RecordType(line)) ? 0 : count;
}

namespace {

bool IsExtendedAddressRecord(const char* line) {
    const int type = RecordType(line);
    return RecordLength(line) == 2 &&
           (type == kExtendedSegmentRecord || type == kExtendedLinearRecord);
}

}  // namespace

std::size_t NextUploadRecord(const char* text, std::size_t length, UploadCursor* cursor,
                             long* recordLine, char* line, std::size_t size) {
    if (cursor->extendedAt != kNoExtended) {
        long unused = 0;
        *recordLine = cursor->extendedLine;
        const std::size_t count =
            NextRecord(text, length, &cursor->extendedAt, &unused, line, size);
        cursor->extendedAt = kNoExtended;
        return count;
    }
    const std::size_t count =
        NextRecord(text, length, &cursor->at, &cursor->lineNumber, line, size);
    *recordLine = cursor->lineNumber;
    return count;
}

long NextUploadLine(const char* text, std::size_t length, UploadCursor cursor) {
    char line[kMaxRecordChars + 2];
    long recordLine = 0;
    return NextUploadRecord(text, length, &cursor, &recordLine, line, sizeof line) != 0 ? recordLine
                                                                                        : 0;
}

UploadWork CountUploadWork(const char* text, std::size_t length, UploadCursor from) {
    UploadWork work{0, 0, 0};
    char line[kMaxRecordChars + 2];
    long recordLine = 0;
    while (NextUploadRecord(text, length, &from, &recordLine, line, sizeof line) != 0) {
        const int len = RecordLength(line);
        ++work.records;
        if (RecordType(line) == kDataRecord) {
            work.dataBytes += len;
        }
        work.sentChars += static_cast<long>(RecordChars(len)) - 1;
    }
    return work;
}

bool FindUploadStart(const char* text, std::size_t length, long fromLine, UploadCursor* cursor) {
    char line[kMaxRecordChars + 2];
    *cursor = UploadCursor{};
    for (;;) {
        const UploadCursor before = *cursor;
        if (NextRecord(text, length, &cursor->at, &cursor->lineNumber, line, sizeof line) == 0) {
            return false;
        }
        const bool extended = IsExtendedAddressRecord(line);
        if (cursor->lineNumber >= fromLine) {
            cursor->at = before.at;
            cursor->lineNumber = before.lineNumber;
            // A first record that sets the address itself needs none before it.
            if (extended) {
                cursor->extendedAt = kNoExtended;
            }
            return true;
        }
        if (extended) {
            cursor->extendedAt = before.at;
            cursor->extendedLine = cursor->lineNumber;
        }
    }
}

uint32_t ExtendedAddress(const char* line, uint32_t base) {
    if (!IsExtendedAddressRecord(line)) {
        return base;
    }
    const int type = RecordType(line);
    const uint32_t value = HexStrToByte(line + 9) * 256u + HexStrToByte(line + 11);
    return type == kExtendedSegmentRecord ? value << 4 : value << 16;
}

uint32_t DataByteAddress(const char* line, uint32_t base, int index) {
    const uint32_t field = HexStrToByte(line + 3) * 256u + HexStrToByte(line + 5);
    return (base + field + static_cast<uint32_t>(index)) & 0xFFFF;
}

std::size_t BinaryRecords(const unsigned char* bytes, std::size_t count, uint32_t address,
                          char* text, std::size_t size) {
    if (address + count > 0x10000) {
        return 0;
    }
    std::size_t length = 0;
    // Appends one record line; false when it does not fit.
    const auto record = [&](uint32_t at, const unsigned char* data, unsigned n, unsigned type) {
        if (length + RecordChars(static_cast<int>(n)) + 2 > size) {
            return false;
        }
        unsigned sum = n + ((at >> 8) & 0xFF) + (at & 0xFF) + type;
        length += static_cast<std::size_t>(
            std::snprintf(text + length, size - length, ":%02X%04X%02X", n, at & 0xFFFF, type));
        for (unsigned i = 0; i < n; ++i) {
            sum += data[i];
            length += static_cast<std::size_t>(
                std::snprintf(text + length, size - length, "%02X", data[i]));
        }
        length += static_cast<std::size_t>(
            std::snprintf(text + length, size - length, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF));
        return true;
    };
    for (std::size_t done = 0; done < count; done += 16) {
        const auto n = static_cast<unsigned>(count - done < 16 ? count - done : 16);
        if (!record(static_cast<uint32_t>(address + done), bytes + done, n, 0)) {
            return 0;
        }
    }
    return record(0, nullptr, 0, 1) ? length : 0;
}
