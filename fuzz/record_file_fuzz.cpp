// Record lines and the record file check of the uploaders: whatever the file
// holds, nothing is read or written out of bounds, and a text the check
// passes reads back, as the uploaders read it, as sound records that fit
// their line buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "hexrec/hexrec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The bytes in a buffer exactly as long, so a read past the end is caught.
    char* text = CopyAsText(data, size);

    // The lines cover the text, line ends aside.
    std::string joined;
    std::size_t at = 0;
    std::size_t count = 0;
    for (const char* line; (line = NextLine(text, size, &at, &count)) != nullptr;) {
        Require(at <= size && count <= size, "a line lies within the text");
        joined.append(line, count);
    }
    std::string plain;
    for (std::size_t i = 0; i < size; ++i) {
        const bool lineEnd =
            text[i] == '\n' || (text[i] == '\r' && (i + 1 == size || text[i + 1] == '\n'));
        if (!lineEnd) {
            plain += text[i];
        }
    }
    Require(joined == plain, "the lines are the text without its line ends");

    // The check, and the upload's reading of a text that passed it.
    long badLine = 0;
    if (CheckRecordText(text, size, &badLine) != nullptr) {
        Require(badLine >= 1, "a refused text names its line");
    } else {
        char dataBuf[kMaxRecordChars + 2];
        long lineNumber = 0;
        at = 0;
        while ((count = NextRecord(text, size, &at, &lineNumber, dataBuf, sizeof dataBuf)) != 0) {
            Require(count < sizeof dataBuf && dataBuf[count] == '\0', "a record is terminated");
            Require(CheckRecordLine(dataBuf, count) == nullptr,
                    "a record of a checked text is sound");
            Require(RecordChars(RecordLength(dataBuf)) == count, "a record has its length");
        }
        CountUploadWork(text, size);
    }

    // One line's rules on the raw bytes.
    if (CheckRecordLine(text, size) == nullptr) {
        Require(size >= RecordChars(0) && text[0] == ':', "a sound line has a colon and fields");
        Require(RecordChars(RecordLength(text)) == size, "a sound line has its length");
        Require(text[7] == '0' && text[8] >= '0' && text[8] <= '5',
                "a sound line has a known type");
    }
    delete[] text;
    return 0;
}
