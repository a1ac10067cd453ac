// What the guidance for people needs from the host system: whether a stream
// is a terminal and how big it is, why a port did not open, which serial
// ports exist, and which group owns a device. One source per platform
// (console_posix.cpp, console_win32.cpp), picked by the build.
//
// Summary:
//   StreamIsTerminal       whether stdout or stderr is a terminal
//   TerminalSize           rows and columns of that terminal
//   EnableTerminalControl  make the terminal obey cursor control sequences
//   OpenFailureCause       why OpenCom failed, from its error code
//   ListSerialPorts        the serial ports this host has
//   DeviceGroup            the group owning a device, and the user's membership
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// True when `stream` (stdout or stderr) writes to a terminal or console.
bool StreamIsTerminal(std::FILE* stream);

// The size of the terminal `stream` writes to, in *rows and *columns.
// Returns 0, or -1 when it is not a terminal or its size is not known (the
// outputs are then left alone).
int TerminalSize(std::FILE* stream, int* rows, int* columns);

// Makes the terminal `stream` writes to obey cursor and scroll-region
// control sequences (on POSIX a terminal that says it is "dumb" does not; on
// Windows the console is asked to). Returns 0 when it does, -1 when not.
int EnableTerminalControl(std::FILE* stream);

// Writes `length` bytes of `text` to standard error at once, unbuffered;
// safe to call from a signal handler.
void WriteStandardErrorNow(const char* text, std::size_t length);

// Why a port did not open, told from OpenCom's error code (errno on POSIX,
// GetLastError() on Windows).
constexpr int kOpenFailedOther = 0;
constexpr int kOpenFailedPermission = 1;  // the user may not use the device
constexpr int kOpenFailedBusy = 2;        // another program holds the port
constexpr int kOpenFailedNoPort = 3;      // no such port on this host
int OpenFailureCause(int32_t error);

// What else may hold a busy port on this host ("" when nothing more to say).
extern const char* const kBusyPortAdvice;

// True where a port argument with a '/' is a device path (POSIX hosts).
extern const bool kPortArgumentMayBePath;

// Writes the serial ports this host has into `list` (of `size` bytes,
// always terminated), one per line, each line "  <name>\n" (on POSIX,
// /dev/serial/by-id entries as "  <link> -> <device>\n"). On POSIX the
// devices are looked for in `devDir` ("/dev" for the real ones): the entries
// of serial/by-id, then the ttyUSB*, ttyACM* and ttyS* character devices with
// a port behind them (a ttyS* only when the kernel found its UART), none of
// them opened, since opening a port raises DTR and may reset a board;
// on Windows the COM ports the system knows (`devDir` is not used). Lines
// that do not fit are left out. Returns the number of ports found.
int ListSerialPorts(const char* devDir, char* list, std::size_t size);

// The group that owns the device at `path`, into `group` (of `size` bytes),
// with whether the user is a member according to the system's group list
// (*listed) and in this login session (*inSession). Returns 0, or -1 when
// the device cannot be looked at or the host has no device groups (Windows).
int DeviceGroup(const char* path, char* group, std::size_t size, bool* listed, bool* inSession);
