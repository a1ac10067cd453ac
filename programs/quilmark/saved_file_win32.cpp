// The saved file on Windows: GetTempFileName in the output's folder,
// MoveFileEx onto the output.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "programs/quilmark/saved_file.h"
#include "run/input_told.h"

namespace {

char outputPath[MAX_PATH];
char tempPath[MAX_PATH];
bool haveTemp = false;

}  // namespace

std::FILE* CreateSavedFile(const char* name) {
    if (std::snprintf(outputPath, sizeof outputPath, "%s", name) >=
        static_cast<int>(sizeof outputPath)) {
        errno = ENAMETOOLONG;
        return RefuseFile(name, nullptr);
    }
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (NotAFile(name) != nullptr) {
            return RefuseFile(name, NotAFile(name));
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            errno = EACCES;
            return RefuseFile(name, nullptr);
        }
        // Only a disk file may be replaced: a name that opens a device (a
        // COM port, the console, a pipe) is refused without touching it.
        HANDLE existing =
            CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        const DWORD type =
            existing == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(existing);
        if (existing != INVALID_HANDLE_VALUE) {
            CloseHandle(existing);
        }
        if (type != FILE_TYPE_DISK) {
            return RefuseFile(name, type == FILE_TYPE_PIPE ? "a pipe" : "a device");
        }
    }
    // The output's folder: all before the last slash or backslash, or ".".
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%s", name);
    char* cut = std::strrchr(folder, '\\');
    char* slash = std::strrchr(folder, '/');
    if (slash != nullptr && (cut == nullptr || slash > cut)) {
        cut = slash;
    }
    if (cut == nullptr) {
        std::strcpy(folder, ".");
    } else {
        cut[cut == folder ? 1 : 0] = '\0';
    }
    if (GetTempFileNameA(folder, "qmk", 0, tempPath) == 0) {
        // RefuseFile says why from errno: a folder missing, or not ours to write.
        const DWORD error = GetLastError();
        errno = error == ERROR_ACCESS_DENIED                                ? EACCES
                : error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? ENOENT
                                                                            : 0;
        return RefuseFile(name, nullptr);
    }
    haveTemp = true;
    std::FILE* fp = std::fopen(tempPath, "w");
    if (fp == nullptr) {
        DeleteFileA(tempPath);
        haveTemp = false;
        return RefuseFile(name, nullptr);
    }
    return fp;
}

int KeepSavedFile(std::FILE* fp) {
    const bool written = std::fflush(fp) == 0;
    if (std::fclose(fp) != 0 || !written ||
        !MoveFileExA(tempPath, outputPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(tempPath);
        haveTemp = false;
        return -1;
    }
    haveTemp = false;
    return 0;
}

void DiscardSavedFile(std::FILE* fp) {
    std::fclose(fp);
    DeleteFileA(tempPath);
    haveTemp = false;
}

void AbandonSavedFile() {
    // The file is still open in the main thread, so it cannot be removed.
}
