// Looked at before it is opened, so a device, a FIFO or a socket is never
// opened: opening a serial line raises its DTR, which resets many boards.
#include <sys/stat.h>

#include <cerrno>

#include "input_file/input_file.h"

const char* NotAFile(const char* name) {
    struct stat info {};
    if (stat(name, &info) != 0 || S_ISREG(info.st_mode)) {
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        return "a folder";
    }
    if (S_ISFIFO(info.st_mode)) {
        return "a FIFO";
    }
    return S_ISSOCK(info.st_mode) ? "a socket" : "a device";
}

std::FILE* OpenInputFile(const char* name, FileRefusal* refusal) {
    refusal->what = NotAFile(name);
    std::FILE* fp = refusal->what == nullptr ? std::fopen(name, "rb") : nullptr;
    if (fp == nullptr && refusal->what == nullptr) {
        refusal->error = errno;
    }
    return fp;
}
