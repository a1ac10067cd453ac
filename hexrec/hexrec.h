// Hex digits and Intel HEX records: ":" LL AAAA TT data... CC, LL data bytes.
// Pure functions on memory: no file or port access, no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

// The largest record: ":" + 2 * (1 + 2 + 1 + 255 + 1) hex digits.
constexpr std::size_t kMaxRecordChars = 1 + 2 * (1 + 2 + 1 + 255 + 1);

// The low four bits of `c`, plus 9 above '9': 0..15 for hex digits of either
// case, whatever the rule yields for anything else.
int AsciiToHexVal(char c);

// The two hex digits at s[0], s[1] as one byte.
unsigned char HexStrToByte(const char* s);

bool IsHexDigit(char c);

// The length field (0..255); `line` holds at least 3 characters.
int RecordLength(const char* line);

// The type field read as a decimal number ("00".."05" give 0..5); `line`
// holds at least 9 characters.
int RecordType(const char* line);

// True for the record that ends an upload: length 0, type other than 0.
bool IsEndRecord(int len, int type);

// Characters from the colon through the checksum for `len` data bytes.
std::size_t RecordChars(int len);

// Checks one line of `length` characters, its line end gone: a colon, hex
// digits, the length its length field gives, a type 00..05 and a length
// that type takes. Returns nullptr when sound, else a short reason.
const char* CheckRecordLine(const char* line, std::size_t length);

// The line of `text` (`length` bytes) that starts at *at, without its LF or
// CR LF: returns its start and length (*lineLength), *at moved past it;
// nullptr at the end of the text.
const char* NextLine(const char* text, std::size_t length, std::size_t* at,
                     std::size_t* lineLength);

// Checks `text` up to its end record: every line empty or sound. Returns
// nullptr, or the first fault's reason with its 1-based line in *badLine.
const char* CheckRecordText(const char* text, std::size_t length, long* badLine);

// Copies the next record of a checked `text` from *at into `line` (`size`
// bytes, terminated), passing over empty lines; every line counts in
// *lineNumber. Returns the record's length; 0 at the end record or text.
std::size_t NextRecord(const char* text, std::size_t length, std::size_t* at, long* lineNumber,
                       char* line, std::size_t size);

// What an upload sends: records (the end record not counted), the data
// bytes of data records, the characters after the colons.
struct UploadWork {
    long records;
    long dataBytes;
    long sentChars;
};

// Where an upload stands in a checked text: the next line and the lines
// before it, and an extended-address record to send first (at extendedAt,
// on line extendedLine; kNoExtended when none).
constexpr std::size_t kNoExtended = static_cast<std::size_t>(-1);
struct UploadCursor {
    std::size_t at = 0;
    long lineNumber = 0;
    std::size_t extendedAt = kNoExtended;
    long extendedLine = 0;
};
// Copies the cursor's next record into `line` (`size` bytes, terminated), its
// file line in *recordLine, and moves the cursor past it. Returns the
// record's length; 0 at the end record or the end of the text.
std::size_t NextUploadRecord(const char* text, std::size_t length, UploadCursor* cursor,
                             long* recordLine, char* line, std::size_t size);
// The file line of the cursor's next record, or 0 when none is left.
long NextUploadLine(const char* text, std::size_t length, UploadCursor cursor);
// The cursor for an upload from line `fromLine`: its first record the first
// on or after that line, the extended-address record in force there sent
// before it. Returns false when no record stands on or after the line.
bool FindUploadStart(const char* text, std::size_t length, long fromLine, UploadCursor* cursor);
// The work of sending the checked `text` from `from` up to its end record.
UploadWork CountUploadWork(const char* text, std::size_t length, UploadCursor from = {});
constexpr int kDataRecord = 0;
constexpr int kExtendedSegmentRecord = 2;
constexpr int kExtendedLinearRecord = 4;

// The extended address in force after the sound record `line`, `base` the
// one before it: type 02 sets its value times 16, type 04 times 65536.
uint32_t ExtendedAddress(const char* line, uint32_t base);

// The Z80 address byte `index` of the sound record `line` lands at under
// `base`: the low 16 bits of base + address field + index (the Z80's 16).
uint32_t DataByteAddress(const char* line, uint32_t base, int index);

// The Intel HEX text of `count` bytes loaded at `address`: records of 16
// data bytes (the last one shorter), each line ended by LF, then the end
// record. Into `text` (`size` bytes, terminated). Returns its length, or 0
// when it does not fit or the bytes would run past FFFF.
std::size_t BinaryRecords(const unsigned char* bytes, std::size_t count, uint32_t address,
                          char* text, std::size_t size);
