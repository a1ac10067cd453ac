// What the guidance for people needs from the host: its terminal, why a port
// did not open, which serial ports it has, and how it shows a status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// True when `stream` (stdout or stderr) writes to a terminal or console.
bool StreamIsTerminal(std::FILE* stream);

// The size of the terminal `stream` writes to. Returns 0, or -1 (the outputs
// left alone) when it is not a terminal or its size is not known.
int TerminalSize(std::FILE* stream, int* rows, int* columns);

// Makes the terminal of `stream`, known to be one, obey cursor and scroll
// region sequences. Returns 0, or -1 when it cannot (a "dumb" one).
int EnableTerminalControl(std::FILE* stream);

// Writes `length` bytes of `text` to standard error at once; signal-safe.
void WriteStandardErrorNow(const char* text, std::size_t length);

// Why OpenCom failed, from its error code (errno, or GetLastError()).
constexpr int kOpenFailedOther = 0;
constexpr int kOpenFailedPermission = 1;  // the user may not use the device
constexpr int kOpenFailedBusy = 2;        // another program holds the port
constexpr int kOpenFailedNoPort = 3;      // no such port on this host
int OpenFailureCause(int32_t error);

// What else may hold a busy port on this host ("" when nothing more to say).
extern const char* const kBusyPortAdvice;

// The help's text for a COM port argument, after its label.
extern const char* const kComPortAbout;

// How this host shows an exit status of -1 (255 on POSIX).
extern const int kFailedStatusShown;

// The serial ports found, one "  <name>\n" line each (POSIX: by-id links with
// their devices, then the devices under `devDir` with a port behind them,
// none opened), into `list` (`size` bytes, terminated; lines that do not fit
// left out). Returns their number.
int ListSerialPorts(const char* devDir, char* list, std::size_t size);
