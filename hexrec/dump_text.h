// Text of a memory dump: addresses typed on the command line and the
// monitor's answers to a dump request. Pure functions: no file or port access.
//
// The monitor answers a request for the 16 bytes at an address with 34
// characters: 32 hex digits of data and the 2 hex digits of the checksum of
// a 16-byte data record at that address (":10" AAAA "00" data CC).
#pragma once

#include <cstddef>
#include <cstdint>

// Data bytes per dump request, and characters of a whole answer.
constexpr uint32_t kDumpBytes = 16;
constexpr std::size_t kDumpAnswerChars = 2 * kDumpBytes + 2;

// Reads an address argument: one to four hex digits, either case, most
// significant first. Returns the value (0..0xFFFF), or -1 when `text` is
// empty, longer than four characters or holds a character that is not a hex
// digit. `text` must be terminated.
int32_t ParseHexAddress(const char* text);

// Checks the answer to the request for `address` (`length` characters at
// `answer`): exactly kDumpAnswerChars hex digits, in either case, whose last
// two are the checksum of a 16-byte data record at `address` (taken modulo
// 0x10000). Returns nullptr when the answer is sound and may be written as a
// record, else a short reason fit to follow "answer ".
const char* CheckDumpAnswer(const char* answer, std::size_t length, uint32_t address);
