// A local adapter's latency timer on Linux: its sysfs attribute, kept by a
// udev rule.
#include <limits.h>
#include <stdlib.h>

#include <cstring>

#include "guidance/link_hints.h"

void FormatAdapterLatencyAdvice(char* text, std::size_t size, const char* device) {
    // The name given may be a link (/dev/serial/by-id/...) to the ttyUSB
    // device whose attribute it is.
    char real[PATH_MAX];
    const char* name = "ttyUSBn";
    if (realpath(device, real) != nullptr && std::strncmp(real, "/dev/ttyUSB", 11) == 0) {
        name = real + 5;
    }
    std::snprintf(text, size,
                  "A USB serial adapter holds what it receives for its latency timer (16 ms "
                  "by default on FTDI adapters). Set it to 1 ms: echo 1 | sudo tee "
                  "/sys/bus/usb-serial/devices/%s/latency_timer, and keep it so with a udev "
                  "rule, for example in /etc/udev/rules.d/99-z80-latency.rules:\n"
                  "\tACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
                  "ATTR{latency_timer}=\"1\"\n",
                  name);
}
