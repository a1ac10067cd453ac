// Hints about the link beyond the device: a network port that did not
// connect, and answers that came back slowly (an adapter's latency timer, a
// server's delay, a network's round trip). On standard error, as hints.h's.
#pragma once

#include <cstddef>
#include <cstdio>

// After OpenCom failed on the network port `portName`: the address, the
// system's reason, and what to check (the server running, the port number,
// the host's name).
void HintNetOpenFailure(const char* portName);

// When the run's answers came back slowly (AnswersCameSlowly, on the port
// the run opened): how late, and the remedy for that kind of port. Prints
// nothing for a quick target, and nothing twice in a run.
void HintSlowAnswers();

// The remedy for a local adapter's latency into `text` (`size` bytes,
// terminated), as this host sets it: the adapter that `device` (a port name
// OpenCom took) leads to. A line to keep whole (a rule) starts with a tab
// (port_hints.h's WriteHintKeepingLines).
void FormatAdapterLatencyAdvice(char* text, std::size_t size, const char* device);
