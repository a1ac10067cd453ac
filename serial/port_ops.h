// The operations of one kind of port, a device of this host or a network
// port: OpenCom picks the kind by the name, and every later call on the port
// goes to the operations it opened with (serial_link.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/serial_link.h"

// Each one as the serial link call of the same name (serial_link.h), for a
// port of its kind; `abandon` runs in a signal handler.
struct PortOps {
    ComPort (*open)(const char* name, int32_t baud, int32_t* comError);
    unsigned char (*waitForByte)(ComPort port, int32_t timeoutMs);
    bool (*gone)(ComPort port);
    void (*write)(ComPort port, const void* bytes, std::size_t count);
    void (*flushInput)(ComPort port);
    void (*close)(ComPort port);
    void (*abandon)(ComPort port);
};

// The error OpenCom gives when eight ports are open already (EMFILE,
// ERROR_TOO_MANY_OPEN_FILES), from the backend.
extern const int32_t kTooManyPortsError;

// A device of this host: serial_posix.cpp or serial_win32.cpp, picked by the
// build. Also what serves a port the serial link did not open.
extern const PortOps kDevicePortOps;

// A network port (net_port.h), the same on both hosts (net_link.cpp).
extern const PortOps kNetPortOps;

// Asks the host for timer wake-ups as fine as it gives, once a port is open:
// the pauses and waits of a run are a few milliseconds each (backend).
void AskForFineTiming();
