#include "run/open_port.h"

#include <cstdio>

#include "guidance/hints.h"
#include "guidance/option_hints.h"
#include "guidance/port_hints.h"
#include "host/stop_signal.h"

Outcome OpenProgramPort(const PortTexts& texts, const char* portName, int32_t baud,
                        const char* portArgument, ComPort* port, int32_t* comError) {
    // A network port's lookup, connect and negotiation end on a stop.
    SetNetStopCheck(StopSignal);
    *port = OpenCom(portName, baud, comError);
    if (*port == kInvalidComPort && StopSignal() != 0) {
        return Outcome::kStopped;  // the run ends as any stopped run does
    }
    if (*port == kInvalidComPort) {
        if (texts.failedNamesPort) {
            std::printf(texts.failed, portName, static_cast<int>(*comError));
        } else {
            std::printf(texts.failed, static_cast<int>(*comError));
        }
        // A port argument mistyped is the whole story: the port it made
        // (COM0 for "COM3") is nothing to look for. An option there was
        // told of with the arguments; a file or a folder is said to be one.
        const char* given = portArgument != nullptr ? portArgument : portName;
        if (!ReadsAsOption(given) && !HintPortNotADevice(given) &&
            (portArgument == nullptr || !HintPortArgument(portArgument))) {
            HintOpenFailure(portName, *comError);
        }
        return Outcome::kNoPort;
    }
    std::printf(texts.opened, portName, static_cast<int>(baud));
    std::fflush(stdout);
    return Outcome::kDone;
}
