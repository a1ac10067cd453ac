#include "guidance/net_hints.h"

#include <cstdio>

#include "guidance/guidance.h"
#include "host/stop_signal.h"
#include "serial/answer_timing.h"
#include "serial/net_port.h"

namespace {

// The line every program asks for, in words.
constexpr const char* kBoardLine =
    "9600 baud, 8 data bits, no parity, 2 stop bits, no flow control";

// What a server that let a device go a moment ago, or still serves another
// connection on it, looks like from here.
constexpr const char* kDeviceHeld =
    "another connection may hold the device (a server gives a device to one connection at "
    "a time, and may take a moment to let it go after one ends, also when it is reached "
    "through another of its ports); try again once that connection has ended";

void WriteHint(const char* format, const char* a, const char* b = "", const char* c = "") {
    static char text[1024];
    std::snprintf(text, sizeof text, format, a, b, c);
    WriteGuidance(text);
}

}  // namespace

bool HintNetLineFailure(const char* portName) {
    const char* address = NetPortAddress();
    switch (NetOpenFailureKind()) {
        case NetFailureKind::kNotRfc2217:
            WriteHint("Hint: %s: is it a raw port? try tcp://%s\n", NetOpenFailure(), address);
            return true;
        case NetFailureKind::kClosed:
            WriteHint("Hint: %s: %s.\n", NetOpenFailure(), kDeviceHeld);
            return true;
        case NetFailureKind::kSettingKept:
            WriteHint(
                "Hint: %s did not open: %s. The board's line is %s: set the server up so "
                "rfc2217:// may set it, or give tcp:// with the server's line set to "
                "9600n82.\n",
                portName, NetOpenFailure(), kBoardLine);
            return true;
        case NetFailureKind::kStopped:
            return true;  // the stop is the whole story
        default:
            return false;
    }
}

bool HintNetRunEnd(ComPort port, Outcome outcome) {
    if (port == kInvalidComPort || outcome == Outcome::kDone || outcome == Outcome::kStopped ||
        StopSignal() != 0 || NetPortKind(TimedPortName()) == NetKind::kNone) {
        return false;
    }
    const char* address = NetPortAddress();
    if (NetPortSpokeTelnet()) {
        WriteHint(
            "Hint: the server at %s speaks telnet (its negotiation came in among the bytes): "
            "it is a telnet or RFC 2217 port, which rfc2217://%s reaches; tcp:// is for a raw "
            "port.\n",
            address, address);
        return true;
    }
    if (ComPortGone(port)) {
        WriteHint("Hint: the server at %s closed the connection: %s.\n", address, kDeviceHeld);
    }
    return false;
}
