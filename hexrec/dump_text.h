// Memory dump text: address arguments and the monitor's answers, which are
// 32 hex digits of data and the checksum of the record ":10" AAAA "00" data.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kDumpBytes = 16;
constexpr std::size_t kDumpAnswerChars = 2 * kDumpBytes + 2;

// The value of one to four hex digits (either case) in the terminated
// `text`; -1 for anything else.
int32_t ParseHexAddress(const char* text);

// Checks the answer (`length` characters) to the request for `address`:
// kDumpAnswerChars hex digits with a matching checksum. Returns nullptr when
// sound, else a reason fit to follow "answer ".
const char* CheckDumpAnswer(const char* answer, std::size_t length, uint32_t address);
