#include <windows.h>

#include "host/port_facts.h"

// As the system's own programs answer it.
const bool kSlashQuestionAsksHelp = true;

int PathKind(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return kPathNone;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kPathFolder : kPathFile;
}

int ReadDeviceAccess(const char* /*path*/, DeviceAccess* /*access*/) {
    return -1;
}
