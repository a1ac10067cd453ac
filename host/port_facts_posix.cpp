#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/port_facts.h"

// On POSIX "/?" is a path like any other.
const bool kSlashQuestionAsksHelp = false;

int PathKind(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        return kPathNone;
    }
    if (S_ISREG(info.st_mode)) {
        return kPathFile;
    }
    return S_ISDIR(info.st_mode) ? kPathFolder : kPathOther;
}

int ReadDeviceAccess(const char* path, DeviceAccess* access) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        return -1;
    }
    const passwd* user = getpwuid(info.st_uid);
    if (user != nullptr) {
        std::snprintf(access->owner, sizeof access->owner, "%s", user->pw_name);
    } else {
        std::snprintf(access->owner, sizeof access->owner, "%u",
                      static_cast<unsigned>(info.st_uid));
    }
    const group* owners = getgrgid(info.st_gid);
    if (owners != nullptr) {
        std::snprintf(access->group, sizeof access->group, "%s", owners->gr_name);
    } else {
        std::snprintf(access->group, sizeof access->group, "%u",
                      static_cast<unsigned>(info.st_gid));
    }
    access->mode = static_cast<unsigned>(info.st_mode) & 07777U;
    access->rootGroup = info.st_gid == 0;
    access->userOwns = info.st_uid == geteuid();
    // A udev rule matches the kernel's name, which a by-id link hides.
    char real[PATH_MAX];
    const char* name = realpath(path, real) != nullptr ? real : path;
    if (std::strncmp(name, "/dev/", 5) == 0) {
        name += 5;
    } else if (std::strrchr(name, '/') != nullptr) {
        name = std::strrchr(name, '/') + 1;
    }
    // A name too long for the field is cut: the rule is an example.
    const std::size_t length = std::min(std::strlen(name), sizeof access->kernelName - 1);
    std::memcpy(access->kernelName, name, length);
    access->kernelName[length] = '\0';
    return 0;
}
