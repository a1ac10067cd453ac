// Input files on POSIX hosts: stat before open, so a device, a FIFO or a
// socket is never opened, and fstat after it, for what the path led to.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "input_file/input_file.h"

namespace {

// True for a character device that is a terminal: a serial line, a console,
// a pseudo-terminal. Told from the device number alone, since opening a
// serial line raises its DTR, which resets many boards.
bool IsTerminalDevice(dev_t device) {
    const unsigned major = major(device);
    if (major >= 136 && major <= 143) {
        return true;  // pseudo-terminals, which have no entry in /sys
    }
    char path[64];
    std::snprintf(path, sizeof path, "/sys/dev/char/%u:%u/subsystem", major, minor(device));
    char subsystem[256];
    const ssize_t length = readlink(path, subsystem, sizeof subsystem - 1);
    if (length < 4) {
        return false;
    }
    subsystem[length] = '\0';
    return std::strcmp(subsystem + length - 4, "/tty") == 0;
}

// What `info` is when it is not a plain file, or nullptr for a plain file.
const char* KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        return "a folder";
    }
    if (S_ISFIFO(info.st_mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(info.st_mode)) {
        return "a socket";
    }
    if (S_ISCHR(info.st_mode) && IsTerminalDevice(info.st_rdev)) {
        return "a terminal";
    }
    return "a device";
}

int64_t ChangedNs(const struct stat& info) {
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

}  // namespace

const char* NotAFile(const char* name) {
    struct stat info {};
    return stat(name, &info) == 0 ? KindOf(info) : nullptr;
}

std::FILE* OpenInputFile(const char* name) {
    struct stat info {};
    if (stat(name, &info) != 0) {
        return RefuseFile(name, nullptr);
    }
    if (KindOf(info) != nullptr) {
        return RefuseFile(name, KindOf(info));
    }
    // Non-blocking, should the path have been swapped for a FIFO meanwhile;
    // what was opened is looked at again before it is read.
    const int fd = open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return RefuseFile(name, nullptr);
    }
    if (fstat(fd, &info) != 0 || KindOf(info) != nullptr) {
        const char* what = KindOf(info);
        close(fd);
        return RefuseFile(name, what);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* fp = fdopen(fd, "rb");
    if (fp == nullptr) {
        close(fd);
        return RefuseFile(name, nullptr);
    }
    return fp;
}

int StampFile(std::FILE* fp, FileStamp* stamp) {
    struct stat info {};
    *stamp = FileStamp{};
    if (fstat(fileno(fp), &info) != 0) {
        return -1;
    }
    stamp->size = static_cast<int64_t>(info.st_size);
    stamp->changed = ChangedNs(info);
    return 0;
}

bool FileChangedSince(std::FILE* fp, const FileStamp& stamp) {
    FileStamp now;
    return StampFile(fp, &now) != 0 || stamp.size < 0 || now.size != stamp.size ||
           now.changed != stamp.changed;
}
