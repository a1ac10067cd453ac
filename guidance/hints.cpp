#include "guidance/hints.h"

#include <cstring>

#include "dialogue/pace.h"
#include "guidance/link_hints.h"
#include "host/console.h"
#include "host/stop_signal.h"
#include "serial/port_name.h"
#include "serial/serial_link.h"

namespace {

bool IsDigits(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

bool LooksLikeOption(const char* argument) {
    if (argument[0] == '-' && argument[1] != '\0') {
        return true;
    }
    return std::strcmp(argument, "/?") == 0 || std::strcmp(argument, "/h") == 0 ||
           std::strcmp(argument, "/H") == 0 || std::strcmp(argument, "/help") == 0;
}

bool PortArgumentNotNumber(const char* argument) {
    if (NetPortKind(argument) != NetKind::kNone) {
        return false;
    }
    if (kPortArgumentMayBeDevicePath && std::strchr(argument, '/') != nullptr) {
        return false;
    }
    const char* digits = argument[0] == '-' || argument[0] == '+' ? argument + 1 : argument;
    return !IsDigits(digits);
}

long PortNumberIn(const char* argument) {
    const std::size_t length = std::strlen(argument);
    std::size_t first = length;
    while (first > 0 && argument[first - 1] >= '0' && argument[first - 1] <= '9') {
        --first;
    }
    if (first == length || length - first > 6) {
        return -1;
    }
    long number = 0;
    for (std::size_t i = first; i < length; ++i) {
        number = number * 10 + (argument[i] - '0');
    }
    return number;
}

bool EchoMismatchAtLineEnd(const char* piece, std::size_t index, int echo) {
    if (echo == '\r' || echo == '\n') {
        return true;
    }
    for (std::size_t i = 0; i < index && piece[i] != '\0'; ++i) {
        if (piece[i] == '\r' && piece[i + 1] != '\n') {
            return true;
        }
    }
    return false;
}

void WriteOpenFailureHint(std::FILE* out, int cause, const char* device, const char* group,
                          const char* ports, int portCount) {
    if (cause == kOpenFailedPermission) {
        std::fprintf(out, "Hint: you may not use %s.", device);
        if (group == nullptr) {
            std::fprintf(out, " Ask for access to it, or use an account that has it.\n");
        } else {
            std::fprintf(out,
                         " It belongs to the group '%s': join it (for example: sudo usermod "
                         "-aG %s $USER) if you are not in it yet, then log out and in again, "
                         "since a new group counts only from a new login.\n",
                         group, group);
        }
        return;
    }
    if (cause == kOpenFailedBusy) {
        std::fprintf(out,
                     "Hint: %s is busy: another program holds it. Close any terminal program "
                     "still connected to the board, or another run of these programs.",
                     device);
        std::fprintf(out, "%s\n", kBusyPortAdvice);
        return;
    }
    if (cause == kOpenFailedNoPort) {
        if (portCount == 0) {
            std::fprintf(out,
                         "Hint: there is no port %s, and no serial ports were found: is the "
                         "adapter plugged in?\n",
                         device);
        } else {
            std::fprintf(out, "Hint: there is no port %s. Serial ports found:\n%s", device, ports);
        }
    }
}

void HintOptionLike(const char* program, const char* argument) {
    if (!LooksLikeOption(argument)) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr,
                 "Hint: '%s' looks like an option, but %s takes none; for how to use it, "
                 "run: %s --help\n",
                 argument, program, program);
}

void HintPortArgument(const char* program, const char* argument) {
    if (!PortArgumentNotNumber(argument)) {
        return;
    }
    std::fflush(stdout);
    const long number = PortNumberIn(argument);
    if (number >= 0) {
        std::fprintf(stderr,
                     "Hint: give the port as its number alone: for %s type %ld, as in "
                     "\"%s <file> %ld\".\n",
                     argument, number, program, number);
    } else {
        std::fprintf(stderr,
                     "Hint: give the port as its number alone: for COM3 type 3, as in "
                     "\"%s <file> 3\".\n",
                     program);
    }
}

void HintOpenFailure(const char* portName, int32_t error) {
    if (NetPortKind(portName) != NetKind::kNone) {
        HintNetOpenFailure(portName);
        return;
    }
    const int cause = OpenFailureCause(error);
    if (cause == kOpenFailedOther) {
        return;
    }
    // The device really opened: on POSIX hosts COMn stands for /dev/ttyS{n-1}.
    char device[kComPortNameSize + 16];
    if (ComDevicePath(portName, device, sizeof device) != 0) {
        std::snprintf(device, sizeof device, "%s", portName);
    }
    // "//./COM12" is shown as people name the port: COM12.
    const char* shown = std::strncmp(device, "//./", 4) == 0 ? device + 4 : device;
    static char ports[4096];
    int portCount = 0;
    if (cause == kOpenFailedNoPort) {
        portCount = ListSerialPorts("/dev", ports, sizeof ports);
    }
    char group[64];
    const bool groupKnown =
        cause == kOpenFailedPermission && DeviceGroup(device, group, sizeof group) == 0;
    std::fflush(stdout);
    WriteOpenFailureHint(stderr, cause, shown, groupKnown ? group : nullptr, ports, portCount);
}

void HintWakeUpSilence(ComPort port) {
    if (StopSignal() != 0 || ComPortGone(port)) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr,
                 "Hint: the board did not answer the wake-up. Check that it has power; that "
                 "the cable crosses TX and RX (the host's TX to the board's RX); that the "
                 "board's line runs at %d baud; and that it is not left in BASIC by an "
                 "earlier Ferrolt run (reset the board).\n",
                 static_cast<int>(kLineBaud));
}

void HintEchoMismatch(const char* piece, std::size_t index, int echo) {
    if (!EchoMismatchAtLineEnd(piece, index, echo)) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr,
                 "Hint: the echo went wrong at a line end: the text may use old Mac line "
                 "ends (a CR alone). Save it with LF or CR LF line ends and try again.\n");
}
