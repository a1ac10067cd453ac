// Quilmark's conversation with the monitor, shared by the save and the
// verify: the port, the wake-up and the checked dump request.
#pragma once

#include <cstdint>

#include "dialogue/outcome.h"
#include "dialogue/pace.h"
#include "guidance/exit_status.h"
#include "serial/serial_link.h"

// Program-wide state of the conversation, defined in dump_request.cpp.
extern char sPortName[kComPortNameSize];  // the port to open, Z80_DEFAULT_COM_PORT by default
extern int32_t comBaudRate;
extern ComPort comHandle;
extern int32_t comError;
extern char dataBuf[50];       // prompt text, then the request, then the answer
extern int32_t dataBufIndex;   // characters of the current answer received
extern char inByte;            // the last byte read
extern uint32_t startAddress;  // address of the next request

constexpr int32_t kQuietMs = kQuilmarkQuietMs;  // quiet that ends a drain
constexpr int kAnswerTries = 3;                 // requests for one address before giving up

// Opens sPortName into comHandle and says so, or why not with hints
// (`portArgument` as given, or nullptr). Outcome::kDone or kNoPort.
Outcome OpenPort(const char* portArgument);

// Handshake with Quilmark's row; returns as Handshake, the port left open.
Outcome WakeTarget();

// Reads the 16 bytes at startAddress into dataBuf, asking up to kAnswerTries
// times until an answer is sound, each failed try shown. Outcome::kDone, or
// how the last try failed; a lost port, a stop or chatter end the tries.
Outcome ReadDumpAnswer();

// The exit status for `stage` ending with `outcome`, for the save and the
// verify, the reason told where the step has not. Nothing is closed.
int EndStage(Stage stage, Outcome outcome);
