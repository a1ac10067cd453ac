#include "input_file/input_file.h"

#include <cerrno>
#include <cstring>

#include "guidance/hints.h"
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

long ReadInputFile(const char* program, const char* name, char* text, std::size_t size) {
    std::FILE* fp = OpenInputFile(name);
    if (fp == nullptr) {
        HintOptionLike(program, name);
        return -1;
    }
    const std::size_t length = std::fread(text, 1, size, fp);
    // A Ctrl-Z ends the text, as old DOS editors left it: nothing after it counts.
    const auto* ctrlZ = static_cast<const char*>(std::memchr(text, 0x1A, length));
    const bool larger = ctrlZ == nullptr && length == size && std::fgetc(fp) != EOF;
    const bool failed = ctrlZ == nullptr && std::ferror(fp) != 0;
    std::fclose(fp);
    if (failed) {
        std::printf("ERROR: Cannot Read File '%s'\n", name);
        return -1;
    }
    if (larger) {
        std::printf("ERROR: File '%s' is larger than %zu bytes; nothing was sent\n", name, size);
        return -1;
    }
    return static_cast<long>(ctrlZ != nullptr ? static_cast<std::size_t>(ctrlZ - text) : length);
}

int RefuseLine(const char* name, long line, const char* why) {
    std::printf("ERROR: Line %ld of '%s' %s; nothing was sent\n", line, name, why);
    return -1;
}

long ReadRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                    char* text, std::size_t textSize) {
    const long length = ReadInputFile(program, name, text, textSize);
    if (length < 0) {
        return -1;
    }
    std::snprintf(fileName, size, "%s", name);
    std::printf("FILE: '%s'\n", fileName);
    long badLine = 0;
    const char* why = CheckRecordText(text, static_cast<std::size_t>(length), &badLine);
    return why == nullptr ? length : RefuseLine(fileName, badLine, why);
}
