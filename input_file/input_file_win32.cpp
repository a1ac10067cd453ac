// A folder is known by its attributes; a name that opens something other
// than a disk file (a COM port, the console, a pipe) is refused before it
// is read, so nothing waits on it.
#include <windows.h>
// After windows.h.
#include <io.h>

#include <cerrno>

#include "input_file/input_file.h"

const char* NotAFile(const char* name) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "a folder";
    }
    return nullptr;
}

std::FILE* OpenInputFile(const char* name, FileRefusal* refusal) {
    refusal->what = NotAFile(name);
    std::FILE* fp = refusal->what == nullptr ? std::fopen(name, "rb") : nullptr;
    if (fp == nullptr) {
        refusal->error = refusal->what == nullptr ? errno : 0;
        return nullptr;
    }
    const DWORD type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(fp))));
    if (type != FILE_TYPE_DISK) {
        std::fclose(fp);
        refusal->what = type == FILE_TYPE_PIPE ? "a pipe" : "a device";
        return nullptr;
    }
    return fp;
}
