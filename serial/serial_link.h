// Serial link: the only way the programs reach the target's serial line.
//
// One interface; OpenCom picks the operations for the kind of port it opens
// (port_ops.h): a device, through the backend of the platform
// (serial_posix.cpp, serial_win32.cpp, picked by the build), or a network port
// (tcp://HOST:PORT, rfc2217://HOST:PORT, net_port.h), the same on both hosts
// (net_link.cpp). The line is always 9600 baud (or the rate given), 8 data
// bits, no parity, 2 stop bits, raw, with DTR held off where the device has it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/net_port.h"

#ifdef _WIN32
using ComPort = void*;  // a Win32 HANDLE, or a socket
inline ComPort const kInvalidComPort = reinterpret_cast<ComPort>(static_cast<intptr_t>(-1));
// The port the Windows programs open when given none (a literal, so it can
// initialise their sPortName).
#define Z80_DEFAULT_COM_PORT "//./COM10"
#else
using ComPort = int;  // a file descriptor
inline constexpr ComPort kInvalidComPort = -1;
// The adapters people have, not COM10's /dev/ttyS9.
#define Z80_DEFAULT_COM_PORT "/dev/ttyUSB0"
#endif
// A port name: a COM name (within kComNumberNameSize), a device path on
// POSIX hosts, or a network port's name (within kNetPortNameSize).
constexpr std::size_t kComPortNameSize = kNetPortNameSize;
// A name built from a COM port number fits this many bytes on every host,
// "//./COMnnnn" and its terminator: numbers of five digits or more are refused.
constexpr std::size_t kComNumberNameSize = 12;

// Opens `name` (a COM name, a POSIX device path or a network port) for this
// program alone at `baud` 8N2, raw, DTR off; at most eight ports at once.
// Returns kInvalidComPort with the system's error in *comError (errno, or
// GetLastError(); EINVAL for a rate a POSIX device is not set to), nothing
// left open.
ComPort OpenCom(const char* name, int32_t baud, int32_t* comError);

// Waits up to `timeoutMs` ms for one byte: returns it, or 0 for silence, a
// NUL or a read error; silence only once a read begun at the deadline found
// nothing. Returns 0 at once on a port gone (ComPortGone) or a caught signal;
// on a POSIX device a stop signal (INT, QUIT, TERM, HUP) pending as it sleeps
// ends it too, even one the caller holds back.
unsigned char WaitForComByte(ComPort port, int32_t timeoutMs);

// True once a wait found the port hung up, its device removed or its
// connection closed: a vanished port, not a silent target.
bool ComPortGone(ComPort port);

// Writes `count` bytes; errors are not reported, as the target's answer or
// silence is what the callers act on.
void WriteComBytes(ComPort port, const void* bytes, std::size_t count);

// Discards bytes received but not yet read; on a network port at most about
// 4 KiB (as a terminal holds), none more once a stop came (SetNetStopCheck),
// and on rfc2217:// the server is also asked to purge its receive buffer.
void FlushComInput(ComPort port);

// Closes the port and gives back OpenCom's exclusive claim.
void CloseCom(ComPort port);

// Gives back the exclusive claim from a signal handler, without closing.
void AbandonCom(ComPort port);

// Sleeps `ms` milliseconds to a deadline on a monotonic clock: never less,
// and a signal does not cut it short.
void PauseMs(int32_t ms);

// The port name for a port argument into `portName` (`size` bytes): n gives
// "COMn" up to 9, "//./COMn" from 10 (atoi rules); a POSIX device path or a
// network port's name is copied. Returns -1, unchanged, when it cannot fit.
int BuildComPortName(const char* text, char* portName, std::size_t size);

// The device OpenCom opens for `name` into `path` (`size` bytes): on POSIX
// COMn is /dev/ttyS{n-1}. Returns -1 when it cannot fit or names no port.
int ComDevicePath(const char* name, char* path, std::size_t size);
