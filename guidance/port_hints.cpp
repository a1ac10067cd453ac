#include "guidance/port_hints.h"

#include <cstdio>
#include <cstring>

#include "guidance/guidance.h"
#include "host/console.h"
#include "serial/port_name.h"

namespace {

constexpr unsigned kGroupReadWrite = 0060;

// The found ports listed after `text`, or that none were found.
void AddPorts(char* text, std::size_t size, const char* ports, int portCount) {
    const std::size_t length = std::strlen(text);
    if (portCount > 0) {
        std::snprintf(text + length, size - length, " Serial ports found:\n%s", ports);
    } else {
        std::snprintf(text + length, size - length, " No serial ports were found here.\n");
    }
}

bool IsNumber(const char* text) {
    const char* digit = *text == '-' || *text == '+' ? text + 1 : text;
    if (*digit == '\0') {
        return false;
    }
    for (; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

void WriteHintKeepingLines(const char* text) {
    static char part[8192];
    for (const char* at = text; *at != '\0';) {
        const char* end = std::strchr(at, '\n');
        const std::size_t length = end != nullptr ? end - at + 1 : std::strlen(at);
        if (*at == '\t') {
            StartGuidanceLine();
            std::fprintf(stderr, "    %.*s", static_cast<int>(length - 1), at + 1);
            at += length;
            continue;
        }
        // The lines up to the next kept one, wrapped together.
        std::size_t run = 0;
        while (at[run] != '\0' && at[run] != '\t') {
            const char* next = std::strchr(at + run, '\n');
            run = next != nullptr ? next - at + 1 : std::strlen(at);
        }
        std::snprintf(part, sizeof part, "%.*s", static_cast<int>(run), at);
        WriteGuidance(part);
        at += run;
    }
    std::fflush(stderr);
}

void FormatPermissionHint(char* text, std::size_t size, const char* shown,
                          const DeviceAccess& access) {
    if ((access.mode & kGroupReadWrite) == kGroupReadWrite && !access.rootGroup) {
        std::snprintf(text, size,
                      "Hint: you may not use %s. It belongs to the group '%s', whose members may: "
                      "join it (for example: sudo usermod -aG %s $USER) if you are not in it "
                      "yet, then log out and in again, since a new group counts only from a new "
                      "login.\n",
                      shown, access.group, access.group);
        return;
    }
    if (access.userOwns) {
        std::snprintf(text, size,
                      "Hint: you may not use %s, though it is yours: its mode %04o keeps even "
                      "its owner out. Give yourself access: chmod u+rw %s\n",
                      shown, access.mode, shown);
        return;
    }
    // The superuser's group is never one to join; a group of its own that
    // has no access yet gets it from the rule.
    const char* group = access.rootGroup ? "dialout" : access.group;
    std::snprintf(text, size,
                  "Hint: you may not use %s: only its owner, %s, may open it (its mode is %04o, "
                  "and its group '%s' has no access). To let others use it, a udev rule can give "
                  "a group access; join that group (sudo usermod -aG %s $USER), then log out and "
                  "in again. The rule, for example in /etc/udev/rules.d/99-z80-serial.rules "
                  "(then plug the adapter in again):\n"
                  "\tKERNEL==\"%s\", GROUP=\"%s\", MODE=\"0660\"\n",
                  shown, access.owner, access.mode, access.group, group, access.kernelName, group);
}

void FormatPortNameHint(char* text, std::size_t size, const char* argument, const char* ports,
                        int portCount) {
    if (kPortArgumentMayBeDevicePath) {
        const long number = ComNameNumber(argument);
        if (number > 0) {
            std::snprintf(text, size,
                          "Hint: %s is a port's name on Windows. Here give the serial device's "
                          "path, such as /dev/ttyUSB0 for a USB adapter (the number %ld alone "
                          "would open /dev/ttyS%ld).",
                          argument, number, number - 1);
        } else {
            std::snprintf(text, size,
                          "Hint: '%s' is no port here. Give the serial device's path, such as "
                          "/dev/ttyUSB0 for a USB adapter.",
                          argument);
        }
        AddPorts(text, size, ports, portCount);
        return;
    }
    std::snprintf(text, size,
                  "Hint: '%s' is no COM port number. On Windows a port is given by its number: "
                  "look it up in Device Manager, under \"Ports (COM & LPT)\", where \"USB Serial "
                  "Port (COM3)\" means 3.",
                  argument);
    AddPorts(text, size, ports, portCount);
}

bool HintPortNotADevice(const char* argument) {
    // A number or a COM name is a port's name, whatever lies in the folder.
    if (IsNumber(argument) || ComNameNumber(argument) >= 0) {
        return false;
    }
    const int kind = PathKind(argument);
    if (kind != kPathFile && kind != kPathFolder) {
        return false;
    }
    static char text[1024];
    std::snprintf(text, sizeof text, "Hint: '%s' is a %s, not a serial port.\n", argument,
                  kind == kPathFile ? "file" : "folder");
    WriteGuidance(text);
    return true;
}

void HintPortName(const char* argument) {
    static char ports[4096];
    const int portCount = ListSerialPorts("/dev", ports, sizeof ports);
    static char text[sizeof ports + 1024];
    FormatPortNameHint(text, sizeof text, argument, ports, portCount);
    WriteGuidance(text);
}

void HintPortNumberOutOfRange(const char* argument) {
    if (!IsNumber(argument)) {
        return;
    }
    static char text[512];
    std::snprintf(text, sizeof text,
                  "Hint: %s is out of range: COM port numbers go from 1 to 9999.\n", argument);
    WriteGuidance(text);
}

void HintPermission(const char* device, const char* shown) {
    static char text[2048];
    DeviceAccess access{};
    if (ReadDeviceAccess(device, &access) == 0) {
        FormatPermissionHint(text, sizeof text, shown, access);
        WriteHintKeepingLines(text);
        return;
    }
    {
        std::snprintf(text, sizeof text,
                      "Hint: you may not use %s. Ask for access to it, or use an account that "
                      "has it.\n",
                      shown);
    }
    WriteGuidance(text);
}
