// What a host makes of port names: the facts each serial backend states for
// its host, read by the port-name rules both hosts share (port_name.cpp),
// and the one reading of a COM name.
#pragma once

// True where a port argument containing '/' is a device path, used as it
// stands (POSIX hosts); false where every argument is a COM number (Windows).
extern const bool kPortArgumentMayBeDevicePath;

// The device a COM port n is opened as: this prefix and n - 1
// ("/dev/ttyS" on POSIX hosts, so COM1 is /dev/ttyS0); nullptr where a COM
// name is opened as it stands (Windows).
extern const char* const kComDevicePrefix;

// The number n of a COM name "COMn", "//./COMn" or "\\.\COMn" ("com" in
// either case, n of one to six digits and nothing after). Returns n (0 for
// COM0), or -1 for any other name.
long ComNameNumber(const char* name);
