// Opening a program's port as the Windows programs and the saver do: the
// line that says the port is open, or the system's error and hints in plain
// words when it did not open.
#pragma once

#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// What a program prints about its port, each text ending with its newline.
struct PortTexts {
    const char* program;  // the program's name, for the hints
    const char* failed;   // printf format for a port that did not open: %d, the error
    const char* opened;   // printf format for an open port: %s, the port name; %d, the baud
};

// Opens `portName` at `baud` baud, 8N2, into *port, the system's error in
// *comError. Prints texts.opened and flushes standard output. When the port
// does not open prints texts.failed with *comError, then on standard error a
// hint when the port argument as given (`portArgument`, nullptr when none)
// is not a number, and the cause in plain words (HintOpenFailure).
// Returns Outcome::kDone with *port open, or Outcome::kNoPort with *port
// kInvalidComPort.
Outcome OpenProgramPort(const PortTexts& texts, const char* portName, int32_t baud,
                        const char* portArgument, ComPort* port, int32_t* comError);
