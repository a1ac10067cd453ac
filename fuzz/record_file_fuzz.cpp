// Record lines and the record file check of the uploaders: whatever the file
// holds, nothing is read or written out of bounds, and a file the check
// passes reads back, line by line as the uploaders read it, as sound records
// that fit the uploaders' line buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz/fuzz_input.h"
#include "hexrec/hexrec.h"
#include "input_file/record_file.h"

namespace {

// Reads the stream the way the uploaders' record loops do, into a buffer of
// their size, up to the end record.
void ReadAsTheUploadersDo(std::FILE* fp) {
    char dataBuf[kMaxRecordChars + 2];
    for (;;) {
        std::size_t length = 0;
        TextRead got = ReadTextLine(fp, dataBuf, sizeof dataBuf, &length);
        if (got == TextRead::kEnd) {
            return;
        }
        Require(got == TextRead::kRead, "a line of a checked file reads whole");
        Require(length < sizeof dataBuf && dataBuf[length] == '\0', "a line is terminated");
        if (length == 0) {
            continue;
        }
        Require(CheckRecordLine(dataBuf, length) == nullptr, "a line of a checked file is sound");
        const int len = RecordLength(dataBuf);
        Require(RecordChars(len) == length, "a sound line is as long as its length field says");
        Require(RecordChars(len) < sizeof dataBuf, "the cut after the checksum is in the buffer");
        if (IsEndRecord(len, RecordType(dataBuf))) {
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The file check, and the upload's reading of a file that passed it.
    std::FILE* fp = OpenInput(data, size);
    if (fp == nullptr) {
        return 0;
    }
    long badLine = 0;
    const char* why = nullptr;
    const TextCheck checked = CheckRecordFile(fp, &badLine, &why);
    Require(checked != TextCheck::kReadError, "a stream in memory always reads");
    if (checked == TextCheck::kSound) {
        ReadAsTheUploadersDo(fp);
    } else {
        Require(badLine >= 1 && why != nullptr, "a refused file names its line and why");
    }
    std::fclose(fp);

    // Line reading into small buffers: never past their end.
    fp = OpenInput(data, size);
    if (fp == nullptr) {
        return 0;
    }
    const std::size_t small = size > 0 ? 1 + data[0] % 8 : 1;
    char* line = new char[small];
    for (int lines = 0; lines < 64; ++lines) {
        std::size_t length = 0;
        TextRead got = ReadTextLine(fp, line, small, &length);
        if (got == TextRead::kEnd || got == TextRead::kReadError) {
            break;
        }
        Require(length < small && line[length] == '\0', "a short line fits its buffer");
    }
    delete[] line;
    std::fclose(fp);

    // One line's rules on the raw bytes, in a buffer exactly as long.
    char* text = CopyAsText(data, size);
    const char* fault = CheckRecordLine(text, size);
    if (fault == nullptr) {
        Require(size >= RecordChars(0) && text[0] == ':', "a sound line has a colon and fields");
        Require(RecordChars(RecordLength(text)) == size, "a sound line has its length");
    }
    delete[] text;
    return 0;
}
