// What the hints about port arguments and permissions need of the host: what
// a name given as the port is, who may open a device, and how help is asked.
#pragma once

#include <cstddef>

// What a path names, as PathKind tells it.
constexpr int kPathNone = 0;    // nothing there, or it cannot be looked at
constexpr int kPathFile = 1;    // a plain file
constexpr int kPathFolder = 2;  // a folder
constexpr int kPathOther = 3;   // anything else (a device, a FIFO, ...)

// What `path` names; nothing is opened.
int PathKind(const char* path);

// Who may open a device, from its owner, group and mode.
struct DeviceAccess {
    char owner[64];       // the owning user's name (its number when it has none)
    char group[64];       // the owning group's name (likewise)
    unsigned mode;        // the permission bits (0600, say)
    bool rootGroup;       // the group is the superuser's (gid 0)
    bool userOwns;        // the user running this program owns it
    char kernelName[64];  // its name under /dev, links followed ("ttyUSB0")
};

// The access facts of the device at `path` into *access. Returns 0, or -1
// when they cannot be looked at (always on Windows), *access then unset.
int ReadDeviceAccess(const char* path, DeviceAccess* access);

// True where "/?" as the one argument asks for the help (Windows).
extern const bool kSlashQuestionAsksHelp;
