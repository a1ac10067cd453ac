#include "bench/measurement.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>

#include "bench/floors.h"
#include "dialogue/pace.h"
#include "launch/launch.h"
#include "launch/ser2net.h"
#include "serial/serial_link.h"

namespace {

// The COM port the Windows programs use under Wine (a dosdevices link).
constexpr int kWineCom = 50;
// The longest a measured run may take before it is killed.
constexpr int kRunLimitSec = 600;

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Escapes CR and LF for targetsim's text options.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

// The simulated target of one run, with the file of its line figures.
struct Sim {
    SimProcess process;
    std::string stats;
};

// Starts targetsim with the benchmark's texts, paced when `pace` is set,
// its line figures going to `stats`, and `extra` options after those.
// Returns 0 with `sim` filled, or -1 after printing why (nothing left running).
int StartSim(const BenchPaths& paths, const std::vector<std::string>& extra, bool pace,
             const std::string& stats, Sim* sim) {
    sim->stats = stats;
    std::vector<std::string> options = {"--line-stats",   stats,
                                        "--prompt",       Escaped(kPrompt),
                                        "--basic-banner", Escaped(kBasicBanner),
                                        "--basic-ready",  Escaped(kBasicReady)};
    if (pace) {
        options.push_back("--pace");
    }
    options.insert(options.end(), extra.begin(), extra.end());
    std::string why;
    if (StartSimProcess(paths.binDir + "/targetsim", options, 0, &sim->process, &why) != 0) {
        std::fprintf(stderr, "z80bench: %s\n", why.c_str());
        return -1;
    }
    return 0;
}

// Stops the simulated target and reads its answer lateness into `run`.
void StopSim(Sim* sim, Run* run) {
    if (sim->process.pid <= 0) {
        return;
    }
    StopSimProcess(&sim->process);
    std::istringstream stats(ReadFileText(sim->stats));
    std::string key;
    double value = 0;
    while (stats >> key >> value) {
        if (key == "late_mean_us") {
            run->simLateMeanUs = value;
        } else if (key == "late_max_us") {
            run->simLateMaxUs = value;
        }
    }
}

// Processor time (ms) the wineserver of `winePrefix` has used so far, or -1
// when none is found. It is the wineserver whose working directory is the
// prefix's server directory (named after the prefix's device and inode).
double WineserverCpuMs(const std::string& winePrefix) {
    struct stat prefix {};
    if (winePrefix.empty() || stat(winePrefix.c_str(), &prefix) != 0) {
        return -1;
    }
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "/server-%llx-%llx",
                  static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string dir = entry.path().string();
        // "wineserver", or "wineserver64" for the 64-bit build.
        if (ReadFileText(dir + "/comm").rfind("wineserver", 0) != 0) {
            continue;
        }
        std::error_code failed;
        const std::string cwd = std::filesystem::read_symlink(dir + "/cwd", failed).string();
        if (failed || cwd.size() < std::strlen(suffix) ||
            cwd.compare(cwd.size() - std::strlen(suffix), std::string::npos, suffix) != 0) {
            continue;
        }
        // Fields 14 and 15 of /proc/PID/stat: user and system time in ticks.
        const std::string stat = ReadFileText(dir + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            return -1;
        }
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14) {
                ticks += std::atof(field.c_str());
            }
        }
        return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return -1;
}

// A pseudo-terminal of 24 x 80 for a program's standard error, with a
// helper process that reads and throws away what it shows.
struct Screen {
    int console = -1;  // the program's end
    pid_t reader = -1;
};

// Opens `screen`. Returns 0, or -1 (nothing left open).
int OpenScreen(Screen* screen) {
    int master = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    if (openpty(&master, &screen->console, nullptr, nullptr, &size) != 0) {
        return -1;
    }
    screen->reader = fork();
    if (screen->reader == 0) {
        close(screen->console);
        char chunk[4096];
        for (;;) {
            const ssize_t got = read(master, chunk, sizeof chunk);
            if (got <= 0 && !(got < 0 && errno == EINTR)) {
                _exit(0);
            }
        }
    }
    close(master);
    // Only the program's standard error is the terminal, not a copy of it.
    fcntl(screen->console, F_SETFD, FD_CLOEXEC);
    return 0;
}

// Closes the program's end of `screen` and stops the reader. The reader is
// stopped rather than left to see the terminal closed: processes the run
// left behind (Wine's services, started by the first Wine run) keep the
// terminal open as their standard error.
void CloseScreen(Screen* screen) {
    if (screen->console >= 0) {
        close(screen->console);
    }
    if (screen->reader > 0) {
        kill(screen->reader, SIGKILL);
        waitpid(screen->reader, nullptr, 0);
    }
    screen->console = -1;
    screen->reader = -1;
}

// Checks a finished run; prints what is wrong. Returns true when sound.
bool CheckRun(const Workload& workload, const std::string& program, int status,
              const std::string& output, const std::string& memoryPath,
              const std::string& savedPath) {
    if (status != 0) {
        std::printf("  %s exited with status %d:\n%s\n", program.c_str(), status, output.c_str());
        return false;
    }
    if (program == "Torvanex" || program == "Torvane") {
        const std::string memory = ReadFileText(memoryPath);
        if (memory.size() != workload.image.size() ||
            std::memcmp(memory.data() + kLoadAddress, workload.image.data() + kLoadAddress,
                        kLoadBytes) != 0) {
            std::printf("  %s: the target's memory does not hold the workload\n", program.c_str());
            return false;
        }
    } else if (program == "Quilmark") {
        std::string saved = ReadFileText(savedPath);
        saved.erase(std::remove(saved.begin(), saved.end(), '\r'), saved.end());
        if (saved != workload.hexText + "\n") {
            std::printf("  Quilmark: the saved file differs from the workload\n");
            return false;
        }
    } else if (program == "Verify") {
        const std::string verdict =
            "Verify OK: " + std::to_string(kLoadBytes) + " bytes compared, 0 differ";
        if (output.find(verdict) == std::string::npos) {
            std::printf("  Verify did not find the workload whole:\n%s\n", output.c_str());
            return false;
        }
    } else if (output.find("Done") == std::string::npos ||
               output.find("WARNING") != std::string::npos) {
        std::printf("  Ferrolt did not type the program cleanly:\n%s\n", output.c_str());
        return false;
    }
    return true;
}

// The command line of `program` on its workload with the port `port`, the
// Quilmark file saved to `saved`; under Wine (`wine` set) with its
// environment added to `launch`.
void SetCommand(const BenchPaths& paths, const std::string& program, bool wine,
                const std::string& port, const std::string& saved, Launch* launch) {
    const std::string executable = program == "Verify" ? "Quilmark" : program;
    if (wine) {
        launch->words = {"wine", paths.winBinDir + "/" + executable + ".exe"};
        launch->env = {"WINEPREFIX=" + paths.winePrefix, "WINEDEBUG=-all", "DISPLAY",
                       "WAYLAND_DISPLAY"};
    } else {
        launch->words = {paths.binDir + "/" + executable};
    }
    std::vector<std::string> args;
    if (program == "Torvanex" || program == "Torvane") {
        args = {paths.workDir + "/load.hex", port};
    } else if (program == "Quilmark") {
        args = {"8000", "9000", saved, port};
    } else if (program == "Verify") {
        args = {"--verify", paths.workDir + "/load.hex", port};
    } else {
        args = {paths.workDir + "/program.bas", port};
    }
    launch->words.insert(launch->words.end(), args.begin(), args.end());
}

// Reads until `pattern` has arrived (false after 2 s of silence), then until
// 50 ms of quiet.
bool ProbeAwait(ComPort port, const std::string& pattern) {
    std::string seen;
    while (seen.find(pattern) == std::string::npos) {
        const unsigned char byte = WaitForComByte(port, 2000);
        if (byte == 0) {
            return false;
        }
        seen += static_cast<char>(byte);
    }
    while (WaitForComByte(port, 50) != 0) {
    }
    return true;
}

// Sends the one character `c` and awaits `answer` (see ProbeAwait).
bool ProbeSay(ComPort port, char c, const std::string& answer) {
    WriteComBytes(port, &c, 1);
    return ProbeAwait(port, answer);
}

}  // namespace

bool IsBenchLink(const std::string& link) {
    return link == "direct" || link == "ser2net" || link == "ser2net-delay" || link == "latency16";
}

Run MeasureOnce(const BenchPaths& paths, const Workload& workload, const std::string& program,
                const std::string& host, const std::string& link) {
    Run run;
    Sim sim;
    const std::string tag = paths.workDir + "/" + program + "-" + host + "-" + link;
    const std::string memoryOut = tag + ".memory";
    std::vector<std::string> simOptions;
    if (program == "Quilmark" || program == "Verify") {
        simOptions = {"--memory-in", paths.workDir + "/image.bin"};
    } else if (program != "Ferrolt") {
        simOptions = {"--memory-out", memoryOut};
    }
    if (link == "latency16") {
        simOptions.insert(simOptions.end(), {"--latency", "16"});
    }
    if (StartSim(paths, simOptions, true, tag + ".stats", &sim) != 0) {
        return run;
    }

    // Through ser2net the port is its tcp:// port, on both hosts; else under
    // Wine a COM port linked to the simulator's.
    const bool wine = host == "wine";
    std::string port = sim.process.port;
    std::string comLink;
    std::optional<Ser2net> server;
    if (link.rfind("ser2net", 0) == 0) {
        server.emplace(port, link == "ser2net-delay");
        if (!server->ok()) {
            std::printf("  %s\n", server->why().c_str());
            StopSim(&sim, &run);
            return run;
        }
        port = server->Raw();
    } else if (wine) {
        comLink = paths.winePrefix + "/dosdevices/com" + std::to_string(kWineCom);
        unlink(comLink.c_str());
        if (symlink(sim.process.port.c_str(), comLink.c_str()) != 0) {
            std::perror("z80bench: COM link");
            StopSim(&sim, &run);
            return run;
        }
        port = std::to_string(kWineCom);
    }
    const std::string saved = tag + ".saved.hex";
    Launch launch;
    SetCommand(paths, program, wine, port, saved, &launch);
    launch.outPath = tag + ".out";
    launch.timeoutSec = kRunLimitSec;
    Screen screen;
    if (!paths.stderrOnTerminal) {
        launch.errorsToOut = true;
    } else if (OpenScreen(&screen) == 0) {
        launch.errorsFd = screen.console;
        launch.env.push_back("TERM=xterm");
    }

    const double serverBefore = wine ? WineserverCpuMs(paths.winePrefix) : -1;
    const Finished finished =
        paths.stderrOnTerminal && screen.console < 0 ? Finished{} : RunToEnd(launch);
    const double serverAfter = wine ? WineserverCpuMs(paths.winePrefix) : -1;
    CloseScreen(&screen);
    run.wallMs = finished.wallMs;
    run.cpuMs = finished.cpuMs;
    if (serverBefore >= 0 && serverAfter >= 0) {
        run.wineserverCpuMs = serverAfter - serverBefore;
    }
    StopSim(&sim, &run);
    if (!comLink.empty()) {
        unlink(comLink.c_str());
    }
    const std::string output = ReadFileText(launch.outPath);
    run.hinted = output.find("Hint: the board's answers came back slowly") != std::string::npos;
    run.ok = CheckRun(workload, program, finished.status, output, memoryOut, saved);
    return run;
}

Probe ProbeEchoes(const BenchPaths& paths, bool pace, int count) {
    Probe probe;
    Sim sim;
    Run ignored;
    const std::string stats = paths.workDir + (pace ? "/probe-paced.stats" : "/probe.stats");
    if (StartSim(paths, {}, pace, stats, &sim) != 0) {
        return probe;
    }
    // The programs' own serial link, opened as they open it.
    int32_t error = 0;
    const ComPort port = OpenCom(sim.process.port.c_str(), 9600, &error);
    bool ready = port != kInvalidComPort && ProbeSay(port, '@', "$$$") &&
                 ProbeSay(port, 'B', "top?") && ProbeSay(port, '\r', "Ok");
    std::vector<double> excess;
    const double lineUs = pace ? 2 * kLineCharMs * 1000.0 : 0.0;
    for (int i = 0; ready && i < count; ++i) {
        const char c = static_cast<char>('A' + i % 26);
        const int64_t sent = NowNs();
        WriteComBytes(port, &c, 1);
        if (WaitForComByte(port, 1000) != static_cast<unsigned char>(c)) {
            ready = false;
            break;
        }
        excess.push_back(static_cast<double>(NowNs() - sent) / 1000.0 - lineUs);
        if (i % 60 == 59) {
            ready = ProbeSay(port, '\r', "\n");
        }
        PauseMs(3);
    }
    if (port != kInvalidComPort) {
        CloseCom(port);
    }
    StopSim(&sim, &ignored);
    if (!ready || excess.empty()) {
        return probe;
    }
    std::sort(excess.begin(), excess.end());
    probe.count = static_cast<int>(excess.size());
    probe.medianUs = Median(excess);
    probe.p99Us = excess[static_cast<std::size_t>(0.99 * (excess.size() - 1))];
    probe.maxUs = excess.back();
    double sum = 0;
    for (double value : excess) {
        sum += value;
    }
    probe.meanUs = sum / static_cast<double>(excess.size());
    return probe;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}
