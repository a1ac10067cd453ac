// Hex digit conversion and the rules for Intel HEX record lines.
// Pure functions: no file or port access, no allocation.
//
// A record line is ":" LL AAAA TT data... CC, where LL is the number of data
// bytes. The end-of-file record is ":00000001FF".
#pragma once

#include <cstddef>
#include <cstdint>

// The largest record: ":" + 2 * (1 + 2 + 1 + 255 + 1) hex digits.
constexpr std::size_t kMaxRecordChars = 1 + 2 * (1 + 2 + 1 + 255 + 1);

// Value of a hex digit: the low four bits of `c`, plus 9 for characters
// above '9'. "0".."9" give 0..9, "A".."F" and "a".."f" give 10..15. Other
// characters are not refused; they give whatever the rule yields.
int AsciiToHexVal(char c);

// Two hex digits at s[0], s[1] as one byte (0..255). Reads exactly two chars.
unsigned char HexStrToByte(const char* s);

// True for 0-9, A-F, a-f.
bool IsHexDigit(char c);

// The record's length field (data byte count, 0..255). `line` must hold at
// least 3 characters.
int RecordLength(const char* line);

// The record's type field read as a decimal number, as the monitor's loaders
// always have ("00".."05" give 0..5). `line` must hold at least 9 characters.
int RecordType(const char* line);

// True when the record ends the upload: length 0 with a type other than 0.
bool IsEndRecord(int len, int type);

// Number of characters from the colon through the checksum for `len` data
// bytes: 2 * len + 11.
std::size_t RecordChars(int len);

// Checks one line (already stripped of its line end, `length` characters):
// it must start with ':', hold only hex digits after it, and be exactly
// RecordChars(len) long. The checksum is not verified: that is the target's
// job. Returns nullptr when the line is sound, else a short reason.
const char* CheckRecordLine(const char* line, std::size_t length);

// Record types that carry bytes or set where they land.
constexpr int kDataRecord = 0;
constexpr int kExtendedSegmentRecord = 2;
constexpr int kExtendedLinearRecord = 4;

// The extended address in force after the sound record line `line` (see
// CheckRecordLine), given `base`, the one in force before it: a type 2 record
// of two data bytes sets their value times 16, a type 4 record of two data
// bytes their value times 65536; every other record leaves `base`.
uint32_t ExtendedAddress(const char* line, uint32_t base);

// The Z80 address data byte `index` of the sound data record `line` lands at
// under the extended address `base`: the low 16 bits of base + the record's
// address field + index. The Z80 sees 16 address bits only, so the part of an
// extended address above them, and a record running past FFFF, wrap around.
uint32_t DataByteAddress(const char* line, uint32_t base, int index);
