// Measured runs of the benchmark: each program against the simulated target
// in pace mode, timed and checked, and a probe of the target's own latency.
//
// The simulated target in pace mode takes each byte from the host in at its
// arrival time and hands each answer byte over when its last stop bit would
// have left the wire, so a pseudo-terminal is no faster than the line. How
// late it handed answers over is measured with each run.
//
// Wall time runs from fork to the program's exit; processor time is the
// program's own user + system time (wait4), descendants included (Wine's
// loader), without the simulated target. Under Wine the separate wineserver
// process works too; its processor time is measured on its own.
//
// Summary:
//   BenchPaths   where the programs, the Wine build and the work files are
//   Run          one measured run
//   MeasureOnce  run one program once, checked
//   Probe, ProbeEchoes   the target's echo round trip against 2 C
//   Median       the median of some figures
#pragma once

#include <string>
#include <vector>

#include "bench/workload.h"

struct BenchPaths {
    std::string binDir;             // the native programs and targetsim
    std::string winBinDir;          // the Windows programs ("" without Wine runs)
    std::string winePrefix;         // the Wine prefix for them
    std::string workDir;            // the workload files, and each run's files
    bool stderrOnTerminal = false;  // --stderr terminal: the progress line is drawn
};

struct Run {
    bool hinted = false;  // the program hinted that answers came slowly
    double wallMs = 0;
    double cpuMs = 0;
    double wineserverCpuMs = 0;
    double simLateMeanUs = 0;
    double simLateMaxUs = 0;
    bool ok = false;  // exited with 0 and did its work (see MeasureOnce)
};

// The ways from a program to the simulated target: its port itself
// ("direct"), ser2net on loopback set up as the README advises ("ser2net":
// chardelay false, nodelay) or as it is out of the box ("ser2net-delay")
// through a tcp:// port, and the port itself with
// answers held 16 ms ("latency16", targetsim --latency 16).
bool IsBenchLink(const std::string& link);

// One measured run of `program` (Torvanex, Torvane, Quilmark, Verify or
// Ferrolt) on `host` ("native" or "wine") over `link` with the workload
// files in `paths.workDir` (image.bin, load.hex, program.bas). The run is checked:
// exit status 0, the target's memory (uploaders), the saved file (Quilmark),
// the closing "Verify OK" line with every byte compared (Verify), "Done" and
// no warning (Ferrolt); what is wrong is printed, and `ok` left false.
// Standard error goes to the run's output file too, or with
// `paths.stderrOnTerminal` to a pseudo-terminal that a helper process reads
// and throws away, so the program draws its progress line as on a person's
// console.
Run MeasureOnce(const BenchPaths& paths, const Workload& workload, const std::string& program,
                const std::string& host, const std::string& link);

struct Probe {
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
    double meanUs = 0;
    int count = 0;  // 0 when the probe failed
};

// Times `count` echoes of BASIC characters through the simulated target
// (paced when `pace` is set), 3 ms apart: the time from the write of a
// character to the read of its echo, less the 2 C a paced line needs
// (nothing on an instant line). Returns the figures; count 0 on failure.
Probe ProbeEchoes(const BenchPaths& paths, bool pace, int count);

// Returns the median of `values`, 0 when there are none.
double Median(std::vector<double> values);
