#include "bench/report.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "launch/launch.h"

namespace {

// Prints one row of the table (see PrintTable).
void PrintRow(std::FILE* out, bool markdown, const Row& row, double echoExcessMeanUs) {
    std::vector<double> walls;
    std::vector<double> ratios;
    std::vector<double> shares;
    std::vector<double> serverShares;
    std::vector<double> lateMeans;
    double lateMax = 0;
    int failed = 0;
    int hinted = 0;
    for (const Run& run : row.runs) {
        hinted += run.hinted ? 1 : 0;
        if (!run.ok) {
            ++failed;
            continue;
        }
        walls.push_back(run.wallMs / 1000.0);
        ratios.push_back(run.wallMs / row.floorMs);
        shares.push_back(100.0 * run.cpuMs / run.wallMs);
        serverShares.push_back(100.0 * run.wineserverCpuMs / run.wallMs);
        lateMeans.push_back(run.simLateMeanUs);
        lateMax = std::max(lateMax, run.simLateMaxUs);
    }
    char range[64] = "-";
    char server[32] = "-";
    if (!ratios.empty()) {
        std::snprintf(range, sizeof range, "%.4f (%.4f-%.4f)", Median(ratios),
                      *std::min_element(ratios.begin(), ratios.end()),
                      *std::max_element(ratios.begin(), ratios.end()));
    }
    if (row.host == "wine" && !serverShares.empty()) {
        std::snprintf(server, sizeof server, "%.2f", Median(serverShares));
    }
    char runsText[32];
    std::snprintf(runsText, sizeof runsText, failed > 0 ? "%zu+%dF" : "%zu", walls.size(), failed);
    const double medium = 100.0 * row.roundTrips * echoExcessMeanUs / 1000.0 / row.floorMs;
    if (markdown) {
        std::fprintf(out,
                     "| %s | %s | %s | %s | %.3f | %.3f | %s | %.2f | %s | %.0f / %.0f | %d | "
                     "%.2f | %d |\n",
                     row.program.c_str(), row.host == "wine" ? "Wine" : "native", row.link.c_str(),
                     runsText, Median(walls), row.floorMs / 1000.0, range, Median(shares), server,
                     Median(lateMeans), lateMax, row.roundTrips, medium, hinted);
    } else {
        std::fprintf(out,
                     "%-9s %-6s %-13s %4s %10.3f %9.3f %22s %9.2f %11s %8.0f/%-7.0f %6d %6.2f "
                     "%5d\n",
                     row.program.c_str(), row.host.c_str(), row.link.c_str(), runsText,
                     Median(walls), row.floorMs / 1000.0, range, Median(shares), server,
                     Median(lateMeans), lateMax, row.roundTrips, medium, hinted);
    }
}

}  // namespace

void PrintMachine(std::FILE* out, bool atEnd, const MachineStart& start) {
    std::string model;
    std::istringstream cpuinfo(ReadFileText("/proc/cpuinfo"));
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&start.time));
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::string kernel = ReadFileText("/proc/sys/kernel/osrelease");
    kernel.erase(std::remove(kernel.begin(), kernel.end(), '\n'), kernel.end());
    std::fprintf(out,
                 "Machine: %s, %ld processors, Linux %s; started %s; load average at start %.2f",
                 model.c_str(), sysconf(_SC_NPROCESSORS_ONLN), kernel.c_str(), date, start.load);
    if (atEnd) {
        std::fprintf(out, ", at end %.2f", load[0]);
    }
    std::fprintf(out, "\n");
}

void PrintTable(std::FILE* out, bool markdown, const std::vector<Row>& rows,
                double echoExcessMeanUs) {
    if (markdown) {
        std::fputs(
            "| Program | Host | Link | Runs | Wall s (median) | Floor s | Wall/floor (median, "
            "range) | Processor % of wall | wineserver % | Target late, mean/max us | "
            "Round trips | Target + pty, est. % of floor | Slow-answer hints |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n",
            out);
    } else {
        std::fprintf(out, "%-9s %-6s %-13s %4s %10s %9s %22s %9s %11s %16s %6s %6s %5s\n",
                     "Program", "Host", "Link", "Runs", "Wall s", "Floor s", "Wall/floor (range)",
                     "CPU %", "wineserver%", "Target late us", "Trips", "Pty %", "Hints");
    }
    for (const Row& row : rows) {
        PrintRow(out, markdown, row, echoExcessMeanUs);
    }
}

void PrintProbe(std::FILE* out, const char* prefix, const char* what, const Probe& probe) {
    if (probe.count == 0) {
        std::fprintf(out, "%s%s: the probe failed\n", prefix, what);
        return;
    }
    std::fprintf(out,
                 "%s%s: %d echoes, beyond the line's 2 C: median %.0f us, mean %.0f us, 99%% "
                 "%.0f us, max %.0f us\n",
                 prefix, what, probe.count, probe.medianUs, probe.meanUs, probe.p99Us, probe.maxUs);
}
