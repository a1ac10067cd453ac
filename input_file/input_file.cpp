#include "input_file/input_file.h"

#include <cerrno>
#include <cstring>

long ReadInputFile(const char* name, char* text, std::size_t size, FileRefusal* refusal,
                   bool binary) {
    std::FILE* fp = OpenInputFile(name, refusal);
    if (fp == nullptr) {
        return -1;
    }
    const std::size_t length = std::fread(text, 1, size, fp);
    // A Ctrl-Z ends the text, as old DOS editors left it: nothing after it counts.
    const auto* ctrlZ =
        binary ? nullptr : static_cast<const char*>(std::memchr(text, 0x1A, length));
    const bool larger = ctrlZ == nullptr && length == size && std::fgetc(fp) != EOF;
    const bool failed = ctrlZ == nullptr && std::ferror(fp) != 0;
    std::fclose(fp);
    if (failed) {
        refusal->unreadable = true;
        return -1;
    }
    if (larger) {
        refusal->tooLarge = size;
        return -1;
    }
    return static_cast<long>(ctrlZ != nullptr ? static_cast<std::size_t>(ctrlZ - text) : length);
}
