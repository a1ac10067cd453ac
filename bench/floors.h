// The floor of each benchmark run: what a program that wastes nothing would
// take. The floors are the programs' own time estimates
// (programs/*/pace.h), worked out from the same pauses the programs
// take, with the simulated target's real answers in place of the least ones:
// the pauses the protocol prescribes plus every character time (11 bits at
// 9600 baud, C = 1.1458 ms) that cannot overlap a pause, host to target and
// back.
//
// Summary:
//   kPrompt, kBasicBanner, kBasicReady   the simulated target's texts
//   FloorOf        a program's floor on the workload (ms)
//   RoundTripsOf   the answers it waits for with nothing else to do
//   PrintFormulas  every floor's formula with its figures
#pragma once

#include <string>

#include "bench/workload.h"

// The simulated target's texts, passed to it explicitly so the floor is
// computed from exactly what it sends.
inline const std::string kPrompt = "\r\nSimulated Z80 board\r\n$$$ ";
inline const std::string kBasicBanner = "\r\nBoard BASIC\r\nMemory top? ";
inline const std::string kBasicReady = "\r\nProgram memory ready\r\nOk\r\n";

// The benchmark's programs: the four, and Quilmark --verify as "Verify".
bool IsBenchProgram(const std::string& program);

// Returns the floor, in milliseconds, of `program` on `workload`.
double FloorOf(const std::string& program, const Workload& workload);

// Returns how many times `program` waits for an answer with nothing else to
// do, so that the simulated target's latency and the pseudo-terminal's (the
// probe's excess over 2 C) add to its wall time once each.
int RoundTripsOf(const std::string& program, const Workload& workload);

// Prints each floor's formula with its figures on standard output.
void PrintFormulas(const Workload& workload);
