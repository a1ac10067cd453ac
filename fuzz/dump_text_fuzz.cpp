// The memory saver's address arguments and answer validation: an address is
// taken only when it is one to four hex digits, with their value, and an
// answer passes only when it is exactly 34 hex digits whose record sums to 0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "hexrec/dump_text.h"
#include "hexrec/hexrec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The input as a command-line argument: ends at its first NUL.
    char* text = CopyAsText(data, size);
    const std::size_t length = std::strlen(text);
    bool allHex = length >= 1 && length <= 4;
    for (std::size_t i = 0; allHex && i < length; ++i) {
        allHex = IsHexDigit(text[i]);
    }
    const int32_t address = ParseHexAddress(text);
    if (allHex) {
        Require(address == static_cast<int32_t>(std::strtol(text, nullptr, 16)),
                "an address of hex digits has their value");
    } else {
        Require(address == -1, "anything else is refused");
    }

    // The input as an answer to a request for the address in its first bytes.
    const uint32_t asked = size >= 2 ? static_cast<uint32_t>(data[0] << 8 | data[1]) : 0;
    const char* fault = CheckDumpAnswer(text, size, asked);
    if (fault == nullptr) {
        Require(size == kDumpAnswerChars, "a sound answer has 34 characters");
        unsigned sum = kDumpBytes + ((asked >> 8) & 0xFF) + (asked & 0xFF);
        for (std::size_t i = 0; i < size; i += 2) {
            Require(IsHexDigit(text[i]) && IsHexDigit(text[i + 1]), "a sound answer is hex");
            sum += HexStrToByte(text + i);
        }
        Require((sum & 0xFF) == 0, "a sound answer's record sums to 0");
    }
    delete[] text;
    return 0;
}
