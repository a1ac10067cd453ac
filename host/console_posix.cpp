#include <dirent.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "host/console.h"

namespace {

// Appends `line` to `list` when it fits whole; `used` counts what is there.
void AppendLine(char* list, std::size_t size, std::size_t* used, const char* line) {
    const std::size_t length = std::strlen(line);
    if (*used + length < size) {
        std::memcpy(list + *used, line, length + 1);
        *used += length;
    }
}

// True when the device node `path` (named `name`) has a port behind it: a
// character device, and for ttyS*, which exists for every UART the kernel
// might have, a UART found (its type in /sys/class/tty is not 0). Nothing is
// opened: opening a port raises DTR, which resets some boards.
bool PortIsThere(const char* path, const char* name) {
    struct stat info {};
    if (stat(path, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    char typePath[128];
    if (std::snprintf(typePath, sizeof typePath, "/sys/class/tty/%s/type", name) >=
        static_cast<int>(sizeof typePath)) {
        return true;
    }
    std::FILE* type = std::fopen(typePath, "r");
    if (type == nullptr) {
        return true;  // no such attribute: the node is all there is to go by
    }
    int value = -1;
    const bool read = std::fscanf(type, "%d", &value) == 1;
    std::fclose(type);
    return !read || value != 0;
}

bool HasPrefix(const char* name, const char* prefix) {
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

// Names in `dir` starting with `prefix`, sorted, into `names` (at most `max`).
// Returns how many.
int SortedNames(const char* dir, const char* prefix, char (*names)[64], int max) {
    DIR* entries = opendir(dir);
    if (entries == nullptr) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(entries)) {
        if (entry->d_name[0] == '.' || !HasPrefix(entry->d_name, prefix) ||
            std::strlen(entry->d_name) >= sizeof names[0] || count >= max) {
            continue;
        }
        std::strcpy(names[count++], entry->d_name);
    }
    closedir(entries);
    // ttyS2 before ttyS10: by length, then by text.
    std::qsort(names, static_cast<std::size_t>(count), sizeof names[0],
               [](const void* a, const void* b) {
                   const char* left = static_cast<const char*>(a);
                   const char* right = static_cast<const char*>(b);
                   const std::size_t ll = std::strlen(left);
                   const std::size_t rl = std::strlen(right);
                   return ll != rl ? (ll < rl ? -1 : 1) : std::strcmp(left, right);
               });
    return count;
}

}  // namespace

const char* const kBusyPortAdvice =
    " On Linux, ModemManager may be probing a newly plugged adapter: wait a few seconds and "
    "try again, or stop it (sudo systemctl stop ModemManager).";

const char* const kComPortAbout =
    "a COM port number (3 opens COM3, here /dev/ttyS2), a device\n"
    "            path such as /dev/ttyACM0, or tcp://HOST:PORT or\n"
    "            rfc2217://HOST:PORT for a network serial server;\n"
    "            /dev/ttyUSB0 when left out\n";

const int kFailedStatusShown = 255;

void WriteStandardErrorNow(const char* text, std::size_t length) {
    // Nothing can be done about a failed write here.
    const ssize_t ignored = write(STDERR_FILENO, text, length);
    (void)ignored;
}

bool StreamIsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

int TerminalSize(std::FILE* stream, int* rows, int* columns) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return -1;
    }
    *rows = size.ws_row;
    *columns = size.ws_col;
    return 0;
}

int EnableTerminalControl(std::FILE* /*stream*/) {
    const char* term = std::getenv("TERM");
    return term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0 ? -1 : 0;
}

int OpenFailureCause(int32_t error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return kOpenFailedPermission;
        case EBUSY:
            return kOpenFailedBusy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return kOpenFailedNoPort;
        default:
            return kOpenFailedOther;
    }
}

int ListSerialPorts(const char* devDir, char* list, std::size_t size) {
    list[0] = '\0';
    std::size_t used = 0;
    int found = 0;
    char names[128][64];
    char path[512];
    char line[1100];

    // Stable names of USB adapters, with the device each stands for.
    char byIdDir[256];
    if (std::snprintf(byIdDir, sizeof byIdDir, "%s/serial/by-id", devDir) >=
        static_cast<int>(sizeof byIdDir)) {
        return 0;  // no real device directory has so long a name
    }
    int count = SortedNames(byIdDir, "", names, 128);
    for (int i = 0; i < count; ++i) {
        if (std::snprintf(path, sizeof path, "%s/%s", byIdDir, names[i]) >=
            static_cast<int>(sizeof path)) {
            continue;
        }
        char target[256];
        const ssize_t length = readlink(path, target, sizeof target - 1);
        if (length > 0) {
            target[length] = '\0';
            const char* slash = std::strrchr(target, '/');
            std::snprintf(line, sizeof line, "  %s -> %s/%s\n", path, devDir,
                          slash != nullptr ? slash + 1 : target);
        } else {
            std::snprintf(line, sizeof line, "  %s\n", path);
        }
        AppendLine(list, size, &used, line);
        ++found;
    }

    // The devices themselves, those with a port behind them.
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        count = SortedNames(devDir, prefix, names, 128);
        for (int i = 0; i < count; ++i) {
            if (std::snprintf(path, sizeof path, "%s/%s", devDir, names[i]) >=
                    static_cast<int>(sizeof path) ||
                !PortIsThere(path, names[i])) {
                continue;
            }
            std::snprintf(line, sizeof line, "  %s\n", path);
            AppendLine(list, size, &used, line);
            ++found;
        }
    }
    return found;
}
