// The benchmark's report: the machine, the table of runs beside their floors
// (on the console and as Markdown) and the probe's figures.
//
// Summary:
//   Row, MachineStart   what the report is made from
//   PrintMachine        processor, kernel, start time and load average
//   PrintTable          one line per program and host
//   PrintProbe          the echo probe's figures
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/measurement.h"

// The runs of one program on one host.
struct Row {
    std::string program;
    std::string host;  // "native" or "wine"
    std::string link;  // how it reaches the target (IsBenchLink)
    double floorMs = 0;
    int roundTrips = 0;  // answers awaited on the critical path (RoundTripsOf)
    std::vector<Run> runs;
};

// When the benchmark started, and the machine's one-minute load average then.
struct MachineStart {
    std::time_t time = 0;
    double load = 0;
};

// Prints the processor, the kernel, the start time and the load average (the
// one-minute figure) at the start and, when `atEnd` is set, now.
void PrintMachine(std::FILE* out, bool atEnd, const MachineStart& start);

// Prints a table of `rows` (as Markdown when `markdown` is set): the median
// wall time against the floor, processor shares, the target's lateness, and
// the share of the floor the target and the pseudo-terminal are estimated to
// add, from `echoExcessMeanUs` (the paced probe's mean) per round trip.
void PrintTable(std::FILE* out, bool markdown, const std::vector<Row>& rows,
                double echoExcessMeanUs);

// Prints the probe's figures after `prefix`, under the name `what`.
void PrintProbe(std::FILE* out, const char* prefix, const char* what, const Probe& probe);
