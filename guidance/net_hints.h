// Hints about the server behind a network port: one that is not the kind
// of port its scheme says, that would not set the line as asked, or that
// closed the connection. On standard error, wrapped as hints.h's.
#pragma once

#include "dialogue/outcome.h"
#include "serial/serial_link.h"

// After OpenCom failed on the network port `portName` as its line was set
// (no RFC 2217 answer, the connection closed, a setting kept otherwise):
// why, and what to do. Returns false, printing nothing, for other failures.
bool HintNetLineFailure(const char* portName);

// After a run on `port` (the port the run opened, still open) ended with
// `outcome`, when it is a network port and no stop came: that the server
// speaks telnet where tcp:// was given, or that it closed the connection.
// Returns true when it said the server speaks telnet, which then explains
// a wake-up left unanswered better than the wiring does.
bool HintNetRunEnd(ComPort port, Outcome outcome);
