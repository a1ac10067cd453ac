// Quilmark's conversation with the monitor, shared by the save and the
// verify: the session they hold and the checked dump request.
#pragma once

#include <cstdint>

#include "dialogue/outcome.h"
#include "programs/quilmark/pace.h"
#include "run/exit_status.h"
#include "run/open_port.h"
#include "serial/serial_link.h"

// One run's conversation: the port and the buffers the requests use. The
// save and the verify each hold one for the whole run.
struct DumpSession {
    char sPortName[kComPortNameSize] = Z80_DEFAULT_COM_PORT;  // the port to open
    int32_t comBaudRate = 9600;
    ComPort comHandle = kInvalidComPort;
    int32_t comError = 0;
    char dataBuf[50] = {};      // prompt text, then the request, then the answer
    int32_t dataBufIndex = 0;   // characters of the current answer received
    char inByte = 0;            // the last byte read
    uint32_t startAddress = 0;  // address of the next request
};

constexpr int32_t kQuietMs = kQuilmarkQuietMs;  // quiet that ends a drain
constexpr int kAnswerTries = 3;                 // requests for one address before giving up

// What Quilmark prints about its port: why it did not open, or that it did.
constexpr PortTexts kQuilmarkPortTexts{"OpenCom (1) failed with error %d.\n",
                                       "Com Port(1) %s open at %d baud.\n", false};

// Opens session->sPortName into session->comHandle and says so, or why not
// with hints (`portArgument` as given, or nullptr). kDone or kNoPort.
Outcome OpenSessionPort(DumpSession* session, const char* portArgument);

// Reads the 16 bytes at session->startAddress into its dataBuf, asking up to
// kAnswerTries times until an answer is sound, each failed try shown. kDone,
// or how the last try failed; a lost port, a stop or chatter end the tries.
Outcome ReadDumpAnswer(DumpSession* session);

// The exit status for `stage` ending with `outcome`, for the save and the
// verify, the reason told where the step has not. Nothing is closed.
int EndStage(const DumpSession& session, Stage stage, Outcome outcome);
