// Serial link: the only way the programs reach the target's serial line.
//
// One interface, one backend per platform (serial_posix.cpp, serial_win32.cpp),
// picked by the build. The line is always 9600 baud (or the rate given), 8 data
// bits, no parity, 2 stop bits, raw, with DTR held off where the device has it.
// A network port (tcp://HOST:PORT, rfc2217://HOST:PORT, net_port.h) is served
// by the same operations on both hosts (net_link.cpp).
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

// Opens `name` for reading and writing, for this program alone, and sets the
// line to `baud` (9600 is the only rate the programs use), 8N2, raw, DTR off.
// Returns the open port, or kInvalidComPort with the system's error code in
// *comError (errno on POSIX, GetLastError() on Windows); nothing is left open
// on failure. On POSIX, `name` may be "COMn" or "//./COMn" (opened as
// /dev/ttyS{n-1}) or a device path; on Windows it is passed to CreateFileA.
// A network port is connected to instead (OpenNetPort, net_link.h). On Linux
// a serial device is asked for low latency (its driver may refuse).
ComPort OpenCom(const char* name, int32_t baud, int32_t* comError);

// Waits up to `timeoutMs` milliseconds for one byte from the port.
// Returns the byte, or 0 when none arrived in time. A NUL byte from the target
// and a read error both read as 0: the callers treat all three as silence.
// A timeout of 0 or less returns 0 without reading. Silence is reported only
// once a read begun at or after the deadline found nothing, so a program held
// off the processor past the deadline still gets a byte that came in time.
// Returns 0 before the deadline in two cases, so a broken run ends at once:
// the port hung up or its device went away (ComPortGone then tells; every
// later wait on it returns 0 at once), and, on POSIX, a signal the program
// catches arrived during the wait (the program's handler has noted it).
unsigned char WaitForComByte(ComPort port, int32_t timeoutMs);

// True once a wait on `port` found it hung up (POSIX: the other end closed,
// POLLHUP, POLLERR or a read error such as EIO) or its device removed
// (Windows: a read failing other than on a line error), or, for a network
// port, its connection closed or reset. Lets a caller tell a
// vanished port from a silent target after WaitForComByte returned 0.
// Reset when the port is closed.
bool ComPortGone(ComPort port);

// Writes `count` bytes to the port. Write errors and short writes are not
// reported: the target's answer (or its silence) is what the callers act on.
void WriteComBytes(ComPort port, const void* bytes, std::size_t count);

// Discards bytes received but not yet read (on rfc2217:// the server is also
// asked to purge its receive buffer).
void FlushComInput(ComPort port);

// Closes the port, giving back the exclusive claim OpenCom took, so the next
// program (of any user) opens it normally; `port` must not be used afterwards.
void CloseCom(ComPort port);

// For a program about to end at once from a signal handler: gives back the
// exclusive claim on `port` without closing it (the system closes it as the
// program ends). Safe in a signal handler; does nothing for kInvalidComPort,
// and nothing on Windows, where the claim ends with the handle.
void AbandonCom(ComPort port);

// Sleeps `ms` milliseconds (nothing for 0 or less): never less, and on
// POSIX no more than the system's wake-up takes, since the sleep runs to a
// deadline on the monotonic clock that a signal does not move (an opened
// port also asks the kernel for wake-ups without timer slack). On Windows
// it runs to a deadline on the performance counter, sleeping in 1 ms
// scheduler ticks (the first pause asks Windows for them).
void PauseMs(int32_t ms);

// Turns a port argument into a port name in `portName` (of `size` bytes):
// a number n gives "COMn" for n <= 9 and "//./COMn" for n >= 10 (atoi rules,
// so text that is not a number gives "COM0"). On POSIX hosts an argument that
// contains '/' is a device path and is copied as it stands, and on every host
// a network port's name (net_port.h) is.
// Returns 0, or -1 when the name would not fit `size` bytes, a name built
// from a number would not fit kComNumberNameSize bytes (on every host), or a
// network port's name would not fit kNetPortNameSize; `portName` is then
// unchanged.
int BuildComPortName(const char* text, char* portName, std::size_t size);

// Writes into `path` (of `size` bytes) the device that OpenCom opens for the
// port name `name`: on POSIX "COMn" and "//./COMn" give "/dev/ttyS{n-1}" and
// anything else is used as it stands; on Windows the name itself.
// Returns 0, or -1 when the result would not fit or names no port (COM0).
int ComDevicePath(const char* name, char* path, std::size_t size);
