// Input files on Windows: a folder is refused by its attributes; anything
// the name opens that is not a disk file (a COM port, the console, a pipe)
// is refused before it is read.
#include <windows.h>
// After windows.h.
#include <io.h>

#include <cstdio>

#include "input_file/input_file.h"

namespace {

HANDLE HandleOf(std::FILE* fp) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(fp)));
}

}  // namespace

const char* NotAFile(const char* name) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "a folder";
    }
    return nullptr;
}

std::FILE* OpenInputFile(const char* name) {
    if (NotAFile(name) != nullptr) {
        return RefuseFile(name, NotAFile(name));
    }
    std::FILE* fp = std::fopen(name, "rb");
    if (fp == nullptr) {
        return RefuseFile(name, nullptr);
    }
    const DWORD type = GetFileType(HandleOf(fp));
    if (type != FILE_TYPE_DISK) {
        std::fclose(fp);
        return RefuseFile(name, type == FILE_TYPE_PIPE ? "a pipe" : "a device");
    }
    return fp;
}

int StampFile(std::FILE* fp, FileStamp* stamp) {
    *stamp = FileStamp{};
    LARGE_INTEGER size;
    FILETIME written;
    if (!GetFileSizeEx(HandleOf(fp), &size) ||
        !GetFileTime(HandleOf(fp), nullptr, nullptr, &written)) {
        return -1;
    }
    stamp->size = size.QuadPart;
    stamp->changed =  // 100 ns units
        static_cast<int64_t>((static_cast<uint64_t>(written.dwHighDateTime) << 32) |
                             written.dwLowDateTime);
    return 0;
}

bool FileChangedSince(std::FILE* fp, const FileStamp& stamp) {
    FileStamp now;
    return StampFile(fp, &now) != 0 || stamp.size < 0 || now.size != stamp.size ||
           now.changed != stamp.changed;
}
