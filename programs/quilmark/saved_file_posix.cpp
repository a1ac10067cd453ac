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

#include "guidance/text_hints.h"
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

// Into outputPath, the path a dangling link `name` ends at, through any
// links after it (each relative one read from its own folder): the file to
// create. Returns -1 with errno set (ELOOP for a loop, or one too long).
int FollowDanglingLink(const char* name) {
    char path[PATH_MAX];
    std::snprintf(path, sizeof path, "%s", name);
    for (int links = 0; links < 40; ++links) {
        struct stat link {};
        if (lstat(path, &link) != 0) {
            // The end of the chain, not there: the file the dump creates.
            std::snprintf(outputPath, sizeof outputPath, "%s", path);
            return 0;
        }
        if (!S_ISLNK(link.st_mode)) {
            errno = ELOOP;  // stat found no file, yet the chain ends at one: it changed
            return -1;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(path, target, sizeof target - 1);
        if (length < 0) {
            return -1;
        }
        target[length] = '\0';
        char* slash = std::strrchr(path, '/');
        if (target[0] == '/' || slash == nullptr) {
            std::snprintf(path, sizeof path, "%s", target);
        } else {
            slash[1] = '\0';
            char folder[PATH_MAX];
            std::snprintf(folder, sizeof folder, "%s", path);
            if (std::snprintf(path, sizeof path, "%s%s", folder, target) >=
                static_cast<int>(sizeof path)) {
                errno = ENAMETOOLONG;
                return -1;
            }
        }
    }
    errno = ELOOP;
    return -1;
}

}  // namespace

std::FILE* CreateSavedFile(const char* name) {
    bool followedDangling = false;
    // A write past the file-size limit (ulimit -f) then fails with EFBIG and
    // is told as a write error, instead of the signal ending the run with the
    // temporary file left behind.
    signal(SIGXFSZ, SIG_IGN);
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
    } else if (errno == ELOOP) {
        return RefuseFile(name, nullptr);
    } else {
        // A link to a file not there yet leads to the dump, as a link to
        // one there does: the file it names is created, if its folder is.
        struct stat link {};
        if (lstat(name, &link) == 0 && S_ISLNK(link.st_mode)) {
            if (FollowDanglingLink(name) != 0) {
                return RefuseFile(name, nullptr);
            }
            followedDangling = true;
        }
    }
    if (std::snprintf(tempPath, sizeof tempPath, "%s.XXXXXX", outputPath) >=
        static_cast<int>(sizeof tempPath)) {
        errno = ENAMETOOLONG;
        return RefuseFile(name, nullptr);
    }
    const int fd = mkstemp(tempPath);
    if (fd < 0 && errno == ENOENT && followedDangling) {
        // The link is there; the folder of the file it names is not.
        errno = 0;
        RefuseFile(name, nullptr);
        HintLinkIntoNoFolder(name, outputPath);
        return nullptr;
    }
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
