// z80bench: runs each program on a reference workload against the simulated
// target in pace mode and sets its wall time beside the floor the line and
// the protocol's pauses impose, with the processor time it used.
//
//   z80bench --bin DIR [--win-bin DIR --wine-prefix DIR] [--runs N]
//            [--hosts native,wine]
//            [--programs Torvanex,Torvane,Quilmark,Verify,Ferrolt]
//            [--links direct,ser2net,ser2net-delay,latency16]
//            [--markdown FILE] [--keep DIR] [--stderr file|terminal]
//
// The workloads are in workload.h, the floors and their formulas (printed
// with the table) in floors.h, the measured runs and the probe of the
// target's own latency in measurement.h, the table in report.h. A run that
// fails a check is reported and leaves the benchmark with status 1.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/floors.h"
#include "bench/measurement.h"
#include "bench/report.h"
#include "bench/workload.h"

namespace {

// What the command line asks for.
struct Settings {
    BenchPaths paths;  // workDir is made at the start
    std::string markdownPath;
    std::string keepDir;
    int runs = 3;
    bool wantNative = true;
    bool wantWine = true;
    std::vector<std::string> programs = {"Torvanex", "Torvane", "Quilmark", "Verify", "Ferrolt"};
    // ser2net-delay is measured for Ferrolt alone, which pays it on every echo.
    std::vector<std::string> links = {"direct", "ser2net", "ser2net-delay", "latency16"};
};

int Usage() {
    std::fprintf(stderr,
                 "Usage: z80bench --bin DIR [--win-bin DIR --wine-prefix DIR] [--runs N]\n"
                 "                [--hosts native,wine]\n"
                 "                [--programs Torvanex,Torvane,Quilmark,Verify,Ferrolt]\n"
                 "                [--links direct,ser2net,ser2net-delay,latency16]\n"
                 "                [--markdown FILE] [--keep DIR] [--stderr file|terminal]\n");
    return 2;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        parts.push_back(part);
    }
    return parts;
}

// Reads the command line into `settings`. Returns 0, or -1 when the
// arguments are not usable.
int ParseArguments(int argc, char* argv[], Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            return -1;
        }
        const std::string value = argv[++i];
        if (name == "--bin") {
            settings->paths.binDir = value;
        } else if (name == "--win-bin") {
            settings->paths.winBinDir = value;
        } else if (name == "--wine-prefix") {
            settings->paths.winePrefix = value;
        } else if (name == "--runs") {
            settings->runs = std::atoi(value.c_str());
        } else if (name == "--markdown") {
            settings->markdownPath = value;
        } else if (name == "--keep") {
            settings->keepDir = value;
        } else if (name == "--stderr" && (value == "file" || value == "terminal")) {
            settings->paths.stderrOnTerminal = value == "terminal";
        } else if (name == "--hosts") {
            const auto hosts = SplitCommas(value);
            settings->wantNative = std::find(hosts.begin(), hosts.end(), "native") != hosts.end();
            settings->wantWine = std::find(hosts.begin(), hosts.end(), "wine") != hosts.end();
        } else if (name == "--programs") {
            settings->programs = SplitCommas(value);
        } else if (name == "--links") {
            settings->links = SplitCommas(value);
        } else {
            return -1;
        }
    }
    for (const auto& program : settings->programs) {
        if (!IsBenchProgram(program)) {
            return -1;
        }
    }
    for (const auto& link : settings->links) {
        if (!IsBenchLink(link)) {
            return -1;
        }
    }
    return settings->paths.binDir.empty() || settings->runs < 1 ? -1 : 0;
}

// Writes `content` to `path`. Returns 0, or -1 after printing why.
int WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "z80bench: cannot write %s\n", path.c_str());
        return -1;
    }
    return 0;
}

// Makes the work directory with the workload files in it. Returns 0, or -1
// after printing why.
int MakeWorkFiles(const Workload& workload, BenchPaths* paths) {
    char pattern[] = "/tmp/z80bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("z80bench: work directory");
        return -1;
    }
    paths->workDir = pattern;
    const std::string image(workload.image.begin(), workload.image.end());
    if (WriteFile(paths->workDir + "/image.bin", image) != 0 ||
        WriteFile(paths->workDir + "/load.hex", workload.hexText) != 0 ||
        WriteFile(paths->workDir + "/program.bas", workload.basicText) != 0) {
        return -1;
    }
    return 0;
}

// One row per program, host and link asked for (Torvanex is native only,
// ser2net-delay for Ferrolt only).
std::vector<Row> RowsFor(const Settings& settings, const Workload& workload) {
    std::vector<Row> rows;
    for (const auto& program : settings.programs) {
        const bool windowsProgram = program != "Torvanex";
        const double floorMs = FloorOf(program, workload);
        const int trips = RoundTripsOf(program, workload);
        for (const auto& link : settings.links) {
            if (link == "ser2net-delay" && program != "Ferrolt") {
                continue;
            }
            if (settings.wantNative) {
                rows.push_back(Row{program, "native", link, floorMs, trips, {}});
            }
            if (settings.wantWine && windowsProgram) {
                rows.push_back(Row{program, "wine", link, floorMs, trips, {}});
            }
        }
    }
    return rows;
}

// Measures every row `runs` times, interleaved so a slow spell of the
// machine is shared out, printing each run. Returns false when a run failed.
bool MeasureRows(const Settings& settings, const Workload& workload, std::vector<Row>* rows) {
    bool allOk = true;
    for (int r = 1; r <= settings.runs; ++r) {
        for (Row& row : *rows) {
            const Run run = MeasureOnce(settings.paths, workload, row.program, row.host, row.link);
            std::printf("run %d %-9s %-6s %-13s wall %8.3f s  ratio %.4f  cpu %6.2f %%%s%s\n", r,
                        row.program.c_str(), row.host.c_str(), row.link.c_str(),
                        run.wallMs / 1000.0, run.wallMs / row.floorMs,
                        100.0 * run.cpuMs / std::max(run.wallMs, 1.0), run.hinted ? "  hint" : "",
                        run.ok ? "" : "  FAILED");
            std::fflush(stdout);
            allOk = allOk && run.ok;
            row.runs.push_back(run);
        }
    }
    return allOk;
}

// Writes the machine, the table and the probes to `path` as Markdown.
void WriteMarkdown(const std::string& path, const MachineStart& start, const std::vector<Row>& rows,
                   const Probe& paced, const Probe& instant) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        return;
    }
    PrintMachine(out, true, start);
    std::fprintf(out, "\n");
    PrintTable(out, true, rows, paced.meanUs);
    std::fprintf(out, "\n");
    PrintProbe(out, "", "Target echo, paced line", paced);
    PrintProbe(out, "", "Target echo, instant line", instant);
    std::fclose(out);
}

// Copies the work files to `keepDir` when one is given, then removes them.
void FinishWorkFiles(const std::string& workDir, const std::string& keepDir) {
    std::error_code ignored;
    if (!keepDir.empty()) {
        std::filesystem::create_directories(keepDir, ignored);
        std::filesystem::copy(workDir, keepDir,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing,
                              ignored);
    }
    std::filesystem::remove_all(workDir, ignored);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Arguments and hosts.
    Settings settings;
    if (ParseArguments(argc, argv, &settings) != 0) {
        return Usage();
    }
    if (settings.wantWine &&
        (settings.paths.winBinDir.empty() || settings.paths.winePrefix.empty())) {
        std::printf("Wine runs skipped: no --win-bin and --wine-prefix given\n");
        settings.wantWine = false;
    }

    // Workloads, the machine and the floors.
    const Workload workload = MakeWorkload();
    if (MakeWorkFiles(workload, &settings.paths) != 0) {
        return 1;
    }
    MachineStart start;
    start.time = std::time(nullptr);
    getloadavg(&start.load, 1);
    PrintMachine(stdout, false, start);
    PrintFormulas(workload);
    std::fflush(stdout);

    // The simulated target's own latency, paced and instant.
    const Probe paced = ProbeEchoes(settings.paths, true, 300);
    const Probe instant = ProbeEchoes(settings.paths, false, 300);
    PrintProbe(stdout, "", "Target echo, paced line", paced);
    PrintProbe(stdout, "", "Target echo, instant line", instant);
    std::fflush(stdout);

    // Runs, then the table on the console and as Markdown.
    std::vector<Row> rows = RowsFor(settings, workload);
    const bool allOk = MeasureRows(settings, workload, &rows);
    std::printf("\n");
    PrintTable(stdout, false, rows, paced.meanUs);
    if (!settings.markdownPath.empty()) {
        WriteMarkdown(settings.markdownPath, start, rows, paced, instant);
    }

    // Work files: kept on request, removed otherwise.
    FinishWorkFiles(settings.paths.workDir, settings.keepDir);
    return allOk ? 0 : 1;
}
