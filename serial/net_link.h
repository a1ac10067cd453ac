// The serial link's operations on a network port (net_port.h), for both
// backends: each serial link operation hands a network port to these.
// One network port is open at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/serial_link.h"

// True when `port` is the open network port.
bool IsNetPort(ComPort port);

// Connects to the network port `name` (within about 5 s) and, for
// rfc2217://, sets its line to `baud` 8N2, no flow control, DTR off (waiting
// up to about 1 s each for the server to take up the option and to
// acknowledge the settings, then going on regardless). Returns the port, or
// kInvalidComPort with the system's error code in *comError and in errno,
// and NetOpenFailure() saying why; nothing is left open then.
ComPort OpenNetPort(const char* name, int32_t baud, int32_t* comError);

// As WaitForComByte, on the network port.
unsigned char WaitForNetByte(int32_t timeoutMs);

// True once the connection was found closed or reset.
bool NetPortGone();

// As WriteComBytes: every write leaves at once.
void WriteNetBytes(const void* bytes, std::size_t count);

// Discards what has arrived and, on rfc2217://, asks the server to purge
// its receive buffer.
void FlushNetInput();

// Closes the network port.
void CloseNetPort();
