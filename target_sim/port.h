// The simulator's port: a pseudo-terminal whose terminal side the host
// opens by its path, an optional symbolic link to it, and its settings.
#pragma once

#include <string>

struct SimPort {
    int master = -1;   // the target's end, non-blocking
    int slave = -1;    // the terminal side, held open by the simulator
    std::string path;  // the terminal side's path, which the host opens
};

// Opens a pseudo-terminal into `port`. The simulator keeps the terminal side
// open too, so the port survives the host closing it and its settings can
// be read; it starts raw. Returns 0, or -1 after printing why (whatever was
// opened is left in `port` for CloseSimPort).
int OpenSimPort(SimPort* port);

// Closes whichever ends of `port` are open; safe to repeat.
void CloseSimPort(SimPort* port);

// Makes `link` a symbolic link to `port`. Only a symbolic link already there
// (say, one left by a simulator that was killed) is replaced: a file or
// folder at `link` is somebody's, and is left alone.
// Returns 0, or -1 after printing why.
int MakePortLink(const std::string& link, const std::string& port);

// Removes `link` if it is still the link to `port` this simulator made.
void RemovePortLink(const std::string& link, const std::string& port);

// Returns the settings of the terminal `slave` as "speed=9600 data=8 stop=2
// parity=none raw=yes" (speed one of 4800, 9600, 19200, 38400 or "other"),
// or "unknown" when they cannot be read.
std::string LineSettings(int slave);
