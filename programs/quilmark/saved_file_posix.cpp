// The saved file on POSIX hosts: mkstemp beside the output, rename onto it.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "programs/quilmark/saved_file.h"
#include "run/input_told.h"

namespace {

// The name the dump is renamed onto, and the temporary file's name: the
// output's name (or the file its link leads to) and a unique suffix.
char outputPath[PATH_MAX];
char tempPath[PATH_MAX + 8];
volatile sig_atomic_t haveTemp = 0;

// The permissions a new file gets here: 0666 less the umask.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::FILE* CreateSavedFile(const char* name) {
    struct stat info {};
    mode_t mode = NewFileMode();
    if (std::snprintf(outputPath, sizeof outputPath, "%s", name) >=
        static_cast<int>(sizeof outputPath)) {
        errno = ENAMETOOLONG;
        return RefuseFile(name, nullptr);
    }
    if (stat(name, &info) == 0) {
        if (NotAFile(name) != nullptr) {
            return RefuseFile(name, NotAFile(name));
        }
        // The old file would be replaced, not written: keep the refusal a
        // file this user may not write has always had.
        if (access(name, W_OK) != 0) {
            return RefuseFile(name, nullptr);
        }
        mode = info.st_mode & 07777;
        // A link keeps leading where it led: the file behind it is replaced.
        struct stat link {};
        if (lstat(name, &link) == 0 && S_ISLNK(link.st_mode) &&
            realpath(name, outputPath) == nullptr) {
            return RefuseFile(name, nullptr);
        }
    }
    if (std::snprintf(tempPath, sizeof tempPath, "%s.XXXXXX", outputPath) >=
        static_cast<int>(sizeof tempPath)) {
        errno = ENAMETOOLONG;
        return RefuseFile(name, nullptr);
    }
    const int fd = mkstemp(tempPath);
    if (fd < 0) {
        return RefuseFile(name, nullptr);
    }
    haveTemp = true;
    fchmod(fd, mode);  // mkstemp makes it 0600
    std::FILE* fp = fdopen(fd, "w");
    if (fp == nullptr) {
        close(fd);
        unlink(tempPath);
        haveTemp = false;
        return RefuseFile(name, nullptr);
    }
    return fp;
}

int KeepSavedFile(std::FILE* fp) {
    // The data must be on the disk before its name is: a crash just after the
    // rename must not leave an empty file in the old one's place.
    const bool written = std::fflush(fp) == 0 && fsync(fileno(fp)) == 0;
    if (std::fclose(fp) != 0 || !written || rename(tempPath, outputPath) != 0) {
        unlink(tempPath);
        haveTemp = false;
        return -1;
    }
    haveTemp = false;
    return 0;
}

void DiscardSavedFile(std::FILE* fp) {
    std::fclose(fp);
    unlink(tempPath);
    haveTemp = false;
}

void AbandonSavedFile() {
    if (haveTemp) {
        unlink(tempPath);
    }
}
