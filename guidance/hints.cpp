#include "guidance/hints.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "dialogue/pace.h"
#include "guidance/guidance.h"
#include "guidance/link_hints.h"
#include "guidance/option_hints.h"
#include "guidance/port_hints.h"
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

bool HasPrefix(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The last part of a path, after its last '/' or '\\'.
const char* LastPart(const char* path) {
    const char* part = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '/' || *at == '\\') {
            part = at + 1;
        }
    }
    return part;
}

// Formats a hint and writes it with WriteGuidance.
void Hint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Hint(const char* format, ...) {
    static char text[4096];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    WriteGuidance(text);
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

bool BareDeviceName(const char* argument) {
    return kPortArgumentMayBeDevicePath && std::strchr(argument, '/') == nullptr &&
           (HasPrefix(argument, "tty") || HasPrefix(argument, "serial")) &&
           std::strlen(argument) > 3;
}

int SplitNameWords(int argc, char* const argv[], int at) {
    if (at >= argc || std::strchr(LastPart(argv[at]), '.') != nullptr) {
        return 0;
    }
    for (int next = at + 1; next < argc; ++next) {
        // A port, however many dots its address has, is no part of a name.
        if (std::strstr(argv[next], "://") != nullptr || HasPrefix(argv[next], "/dev/")) {
            return 0;
        }
        if (std::strchr(LastPart(argv[next]), '.') != nullptr) {
            return next - at + 1;
        }
    }
    return 0;
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

void FormatOpenFailureHint(char* text, std::size_t size, int cause, const char* device,
                           const char* ports, int portCount) {
    text[0] = '\0';
    if (cause == kOpenFailedBusy) {
        std::snprintf(text, size,
                      "Hint: %s is busy: another program holds it. Close any terminal program "
                      "still connected to the board, or another run of these programs.%s\n",
                      device, kBusyPortAdvice);
    } else if (cause == kOpenFailedNoPort && portCount == 0) {
        std::snprintf(text, size,
                      "Hint: there is no port %s, and no serial ports were found: is the "
                      "adapter plugged in?\n",
                      device);
    } else if (cause == kOpenFailedNoPort) {
        std::snprintf(text, size, "Hint: there is no port %s. Serial ports found:\n%s", device,
                      ports);
    }
}

bool HintPortArgument(const char* argument) {
    if (BareDeviceName(argument)) {
        Hint("Hint: give a device by its path: for %s type /dev/%s.\n", argument, argument);
        return true;
    }
    if (!PortArgumentNotNumber(argument)) {
        return false;
    }
    // Where numbers are the only port names, a COM name says which.
    const long number = ComNameNumber(argument);
    if (number >= 0 && !kPortArgumentMayBeDevicePath) {
        Hint("Hint: give the port as its number: for %s type %ld.\n", argument, number);
    } else {
        HintPortName(argument);
    }
    return true;
}

void HintArguments(const char* program, int argc, char* const argv[], int at, int taken) {
    if (HintOptionAfterFile(program, argc, argv, at)) {
        return;  // what is left over follows from it
    }
    static char text[2048];
    std::size_t length = 0;
    const auto add = [&](const char* part, const char* word) {
        const int n = std::snprintf(text + length, sizeof text - length, part, word);
        length = n < 0 ? length : std::min(sizeof text - 1, length + static_cast<std::size_t>(n));
    };
    add("Hint:", "");
    if (argc > at + taken) {
        add(" left over, not used:", "");
        for (int i = at + taken; i < argc; ++i) {
            add(" '%s'", argv[i]);
        }
        add(".", "");
    }
    const int words = SplitNameWords(argc, argv, at);
    if (words > 0) {
        add(" A name with spaces needs quotes: \"%s", argv[at]);
        for (int i = at + 1; i < at + words; ++i) {
            add(" %s", argv[i]);
        }
        add("\".", "");
    }
    if (argc > at + taken || words > 0) {
        add("\n", "");
        WriteGuidance(text);
    }
}

void HintFileNotOpened(const char* name, int error) {
    if (error == ENOENT) {
        Hint(
            "Hint: there is no file or folder '%s' (a name is looked for from the folder you "
            "are in).\n",
            name);
    } else if (error == EACCES || error == EPERM) {
        Hint("Hint: you have no permission to use '%s'.\n", name);
    } else if (error == EISDIR) {
        Hint("Hint: '%s' is a folder.\n", name);
    } else if (error != 0) {
        Hint("Hint: '%s': %s.\n", name, std::strerror(error));
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
    if (cause == kOpenFailedPermission) {
        HintPermission(device, shown);
        return;
    }
    static char text[sizeof ports + 512];
    FormatOpenFailureHint(text, sizeof text, cause, shown, ports, portCount);
    WriteGuidance(text);
}

void HintWakeUpSilence(ComPort port) {
    if (StopSignal() != 0 || ComPortGone(port)) {
        return;
    }
    Hint(
        "Hint: the board did not answer the wake-up. Check that:\n"
        "  - it has power, and the cable crosses TX and RX (host TX to board RX);\n"
        "  - the board's line runs at %d baud;\n"
        "  - no other program (a terminal) has the port open and reads the prompt;\n"
        "  - it is not still in BASIC after an earlier BASIC load: reset the board (a "
        "simulated target: start it again).\n",
        static_cast<int>(kLineBaud));
}

void HintEchoMismatch(const char* piece, std::size_t index, int echo) {
    if (!EchoMismatchAtLineEnd(piece, index, echo)) {
        return;
    }
    Hint(
        "Hint: the echo went wrong at a line end: the text may use old Mac line ends (a CR "
        "alone). Save it with LF or CR LF line ends and try again.\n");
}
