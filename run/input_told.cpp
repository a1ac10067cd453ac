#include "run/input_told.h"

#include <cerrno>
#include <cstring>

#include "guidance/hints.h"
#include "guidance/text_hints.h"
#include "hexrec/dump_text.h"
#include "hexrec/hexrec.h"

std::FILE* RefuseFile(const char* name, const char* what) {
    const int error = errno;
    if (what != nullptr) {
        std::printf("ERROR: Cannot Open File '%s': is %s, not a file\n", name, what);
    } else {
        std::printf("ERROR: Cannot Open File '%s'\n", name);
        HintFileNotOpened(name, error);
    }
    return nullptr;
}

long TellFileRefused(const char* program, const char* name, const FileRefusal& refusal) {
    if (refusal.unreadable) {
        std::printf("ERROR: Cannot Read File '%s'\n", name);
    } else if (refusal.tooLarge != 0) {
        std::printf("ERROR: File '%s' is larger than %zu bytes; nothing was sent\n", name,
                    refusal.tooLarge);
    } else if (refusal.what == nullptr && refusal.error == ENOENT && LooksLikeOption(name)) {
        // No file was meant, so where files are looked for would mislead.
        std::printf("ERROR: Cannot Open File '%s'\n", name);
        HintOptionLike(program, name);
    } else {
        errno = refusal.error;
        RefuseFile(name, refusal.what);
        HintOptionLike(program, name);
    }
    return -1;
}

long ReadInputFileTold(const char* program, const char* name, char* text, std::size_t size) {
    FileRefusal refusal;
    const long length = ReadInputFile(name, text, size, &refusal);
    return length >= 0 ? length : TellFileRefused(program, name, refusal);
}

int RefuseLine(const char* name, long line, const char* why) {
    std::printf("ERROR: Line %ld of '%s' %s; nothing was sent\n", line, name, why);
    return -1;
}

long ReadRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                    char* text, std::size_t textSize) {
    const long length = ReadInputFileTold(program, name, text, textSize);
    if (length < 0) {
        return -1;
    }
    std::snprintf(fileName, size, "%s", name);
    std::printf("FILE: '%s'\n", fileName);
    long badLine = 0;
    const char* why = CheckRecordText(text, static_cast<std::size_t>(length), &badLine);
    if (why == nullptr) {
        return length;
    }
    RefuseLine(fileName, badLine, why);
    HintCrAloneLineEnds(text, static_cast<std::size_t>(length));
    return -1;
}

long ReadBinaryRecords(const char* program, const char* name, const char* addressText,
                       char* fileName, std::size_t size, char* text, std::size_t textSize) {
    const int32_t address = std::strlen(addressText) == 4 ? ParseHexAddress(addressText) : -1;
    if (address < 0) {
        std::printf("ERROR: Bad load address '%s' (give four hex digits); nothing was sent\n",
                    addressText);
        return -1;
    }
    // One byte more than the memory holds, so a larger file is seen as such.
    static unsigned char bytes[0x10000 + 1];
    FileRefusal refusal;
    const long count =
        ReadInputFile(name, reinterpret_cast<char*>(bytes), sizeof bytes, &refusal, true);
    if (count < 0 && refusal.tooLarge == 0) {
        return TellFileRefused(program, name, refusal);
    }
    std::snprintf(fileName, size, "%s", name);
    std::printf("FILE: '%s'\n", fileName);
    const std::size_t length = count > 0
                                   ? BinaryRecords(bytes, static_cast<std::size_t>(count),
                                                   static_cast<uint32_t>(address), text, textSize)
                                   : 0;
    if (count == 0) {
        std::printf("ERROR: File '%s' is empty; nothing was sent\n", fileName);
    } else if (length == 0) {
        std::printf("ERROR: File '%s' at %04X would run past FFFF; nothing was sent\n", fileName,
                    static_cast<unsigned>(address));
    }
    return length > 0 ? static_cast<long>(length) : -1;
}
