// Hints about what was given as the port: a file or a folder, a port name
// of the other host, a COM number out of range, and a device the user may
// not open. On standard error, as hints.h's.
#pragma once

#include <cstddef>

#include "host/port_facts.h"

// Writes `text` as WriteGuidance does, except its lines that start with a
// tab: each is kept whole, on a line of its own, the tab shown as 4 spaces.
void WriteHintKeepingLines(const char* text);

// Into `text` (`size` bytes, terminated) why the device `shown` with
// `access` may not be opened and who may: its group when that group may use
// it (never the superuser's), else its owner, with the udev rule that gives
// a group access on a line of its own (starting with a tab).
void FormatPermissionHint(char* text, std::size_t size, const char* shown,
                          const DeviceAccess& access);

// Into `text` the hint for a port argument that names no port this host
// takes (`argument`, not a number where numbers are taken): on POSIX hosts a
// COM name or a word points to the device paths, on Windows a device path
// or a word to the COM number in Device Manager; `ports` lists the
// `portCount` ports found.
void FormatPortNameHint(char* text, std::size_t size, const char* argument, const char* ports,
                        int portCount);

// After a port did not open: when `argument` (not a number or a COM name)
// names a plain file or a folder, says so. Returns true when it hinted.
bool HintPortNotADevice(const char* argument);

// After a port did not open, for an argument that names no port here
// (FormatPortNameHint), with the serial ports found.
void HintPortName(const char* argument);

// After the port argument `argument` was refused as too long: when it is a
// number, that COM numbers end at 9999.
void HintPortNumberOutOfRange(const char* argument);

// After a device did not open for want of permission: who may open it and
// how (FormatPermissionHint), or, when that cannot be looked at, to ask for
// access. `device` is the path opened, `shown` as people name it.
void HintPermission(const char* device, const char* shown);
