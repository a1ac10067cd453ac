// targetsim's command line: the options, their checks and the usage text.
#pragma once

#include <string>
#include <vector>

#include "target_sim/monitor.h"

struct Options {
    SimConfig config;                      // how the monitor answers, and the faults it plays
    std::string link;                      // --link: a symbolic link to the port ("" for none)
    std::string transcript;                // --transcript FILE ("" for none)
    std::string memoryIn;                  // --memory-in FILE ("" for none)
    std::string memoryOut;                 // --memory-out FILE ("" for none)
    std::string lineStats;                 // --line-stats FILE ("" for none)
    bool pace = false;                     // --pace: the line's own speed in both directions
    int latencyMs = 0;                     // --latency MS: answers held back by up to MS ms
    bool cpu = false;                      // --cpu (or --rom): the emulated board answers
    std::string rom;                       // --rom FILE ("" for the firmware built with targetsim)
    int receiveGap = 0;                    // --receive-gap CYCLES, a test's (0: one character time)
    std::vector<std::string> monitorOnly;  // options given that only the monitor plays
};

// Prints the usage text on standard output.
void Usage();

// Reads argv[1..argc-1] into `options`. Returns 0, or -1 after printing
// what was wrong on standard error (`options` is then partly filled).
int ParseOptions(int argc, char* argv[], Options* options);
