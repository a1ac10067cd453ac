// A program's port opened, with its line saying so, or its error and hints.
#pragma once

#include <cstdint>

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// What a program prints about its port, each text ending with its newline.
struct PortTexts {
    const char* failed;    // printf format for a port that did not open: %d, the error
    const char* opened;    // printf format for an open port: %s, the port name; %d, the baud
    bool failedNamesPort;  // `failed` takes the port name (%s) before the error
};

// Opens `portName` at `baud`, 8N2, into *port (the error in *comError) and
// prints texts.opened; or texts.failed and the hints (`portArgument` as
// given, or nullptr). Returns kDone, or kNoPort with *port kInvalidComPort;
// kStopped, printing nothing, when a stop signal came before it failed.
Outcome OpenProgramPort(const PortTexts& texts, const char* portName, int32_t baud,
                        const char* portArgument, ComPort* port, int32_t* comError);
