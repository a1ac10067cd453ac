// z80bench: runs each program on a reference workload against the simulated
// target in pace mode and sets its wall time beside the floor the line and
// the protocol's pauses impose, with the processor time it used.
//
//   z80bench --bin DIR [--win-bin DIR --wine-prefix DIR] [--runs N]
//            [--hosts native,wine]
//            [--programs Torvanex,Torvane,Quilmark,Verify,Ferrolt]
//            [--markdown FILE] [--keep DIR] [--stderr file|terminal]
//
// Workloads (made afresh in a temporary directory):
//   Torvanex, Torvane  load 4 KiB (8000..8FFF) as 256 records of 16 bytes
//   Quilmark           save the same 4 KiB, loaded into the target first
//   Verify             Quilmark --verify of the same 4 KiB file against a
//                      target that holds it
//   Ferrolt            type a 100-line BASIC program
// Every run is checked: exit status 0, the target's memory (uploaders), the
// saved file (Quilmark), the closing "Verify OK" line with every byte
// compared (Verify), "Done" and no warning (Ferrolt). A run that fails a
// check is reported and leaves the benchmark with status 1.
//
// The floor is what a program that wastes nothing would take: the pauses the
// protocol prescribes plus every character time (11 bits at 9600 baud,
// C = 1.1458 ms) that cannot overlap a pause, host to target and back. The
// formulas are printed with the table. The simulated target in pace mode
// takes each byte from the host in at its arrival time and hands each answer
// byte over when its last stop bit would have left the wire, so a
// pseudo-terminal is no faster than the line. How late it handed answers over
// is reported, and a probe measures its echo round trip against 2 C.
//
// Wall time runs from fork to the program's exit; processor time is the
// program's own user + system time (wait4), descendants included (Wine's
// loader), without the simulated target. Under Wine the separate wineserver
// process works too; its processor time is shown in its own column.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "programs/common/pace.h"

namespace {

// ---------------------------------------------------------------------------
// Line and workload constants

constexpr double kCharMs = kLineCharMs;  // one character on the wire

constexpr unsigned kLoadAddress = 0x8000;
constexpr unsigned kLoadBytes = 4096;
constexpr unsigned kRecordBytes = 16;
constexpr int kBasicLines = 100;

// The simulated target's texts, passed to it explicitly so the floor is
// computed from exactly what it sends.
const std::string kPrompt = "\r\nSimulated Z80 board\r\n$$$ ";
const std::string kBasicBanner = "\r\nBoard BASIC\r\nMemory top? ";
const std::string kBasicReady = "\r\nProgram memory ready\r\nOk\r\n";
// Its fixed answers: a record's verdict "*", ">" to ";", "=" then 34 digits
// and CR LF to a dump address, CR LF to a CR typed into BASIC.
constexpr int kVerdictChars = 1;
constexpr int kDumpOpenAnswerChars = 1;
constexpr int kDumpAnswerChars = 1 + 34 + 2;
constexpr int kDumpRequestChars = 6;
constexpr int kBasicCrAnswerChars = 2;

// The COM port the Windows programs use under Wine (a dosdevices link).
constexpr int kWineCom = 50;

// ---------------------------------------------------------------------------
// Program-wide settings and results

std::string binDir;
std::string winBinDir;
std::string winePrefix;
std::string workDir;
std::string markdownPath;
std::string keepDir;
int runs = 3;
bool wantNative = true;
bool wantWine = true;
std::vector<std::string> programs = {"Torvanex", "Torvane", "Quilmark", "Verify", "Ferrolt"};
std::vector<unsigned char> image;  // 64 KiB, the 4 KiB workload at kLoadAddress
std::string hexText;               // the workload as an Intel HEX file
std::string basicText;             // the 100-line BASIC program
bool anyFailed = false;
bool stderrOnTerminal = false;  // --stderr terminal: the progress line is drawn

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    double wineserverCpuMs = 0;
    double simLateMeanUs = 0;
    double simLateMaxUs = 0;
    bool ok = false;
};

struct Row {
    std::string program;
    std::string host;
    double floorMs = 0;
    int roundTrips = 0;  // answers awaited on the critical path (RoundTripsOf)
    std::vector<Run> runs;
};

std::vector<Row> rows;
double echoExcessMeanUs = 0;  // the paced probe's mean, for the medium estimate
std::time_t startTime = 0;
double startLoad = 0;  // one-minute load average when the benchmark started

// ---------------------------------------------------------------------------
// Small helpers

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
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

// Returns the whole file, or "" when it cannot be read.
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
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

// Returns the 1-based position of the last character of `pattern`'s first
// appearance in `text`, or 0.
int EndOf(const std::string& text, const std::string& pattern) {
    const std::size_t at = text.find(pattern);
    return at == std::string::npos ? 0 : static_cast<int>(at + pattern.size());
}

// ---------------------------------------------------------------------------
// Workloads

// Fills `image`, `hexText` and `basicText`; the same bytes on every run.
void MakeWorkloads() {
    image.assign(65536, 0);
    uint32_t state = 0x2545F491;
    for (unsigned i = 0; i < kLoadBytes; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[kLoadAddress + i] = static_cast<unsigned char>(state >> 24);
    }
    hexText.clear();
    char piece[16];
    for (unsigned address = kLoadAddress; address < kLoadAddress + kLoadBytes;
         address += kRecordBytes) {
        unsigned sum = kRecordBytes + (address >> 8) + (address & 0xFF);
        std::snprintf(piece, sizeof piece, ":%02X%04X00", kRecordBytes, address);
        hexText += piece;
        for (unsigned i = 0; i < kRecordBytes; ++i) {
            sum += image[address + i];
            std::snprintf(piece, sizeof piece, "%02X", image[address + i]);
            hexText += piece;
        }
        std::snprintf(piece, sizeof piece, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        hexText += piece;
    }
    hexText += ":00000001FF\n";

    basicText.clear();
    char line[96];
    for (int k = 1; k <= kBasicLines; ++k) {
        const int number = 10 * k;
        switch (k % 5) {
            case 0:
                std::snprintf(line, sizeof line, "%d PRINT \"LINE %d OF THE BENCHMARK PROGRAM\"\n",
                              number, number);
                break;
            case 1:
                std::snprintf(line, sizeof line, "%d LET A%d = %d * 3 + %d\n", number, k % 10, k,
                              k % 7);
                break;
            case 2:
                std::snprintf(line, sizeof line, "%d IF A%d > %d THEN PRINT \"BIG\"\n", number,
                              k % 10, k);
                break;
            case 3:
                std::snprintf(line, sizeof line, "%d FOR I = 1 TO %d: S = S + I: NEXT I\n", number,
                              k);
                break;
            default:
                std::snprintf(line, sizeof line, "%d REM TYPED ONE CHARACTER AT A TIME\n", number);
                break;
        }
        basicText += line;
    }
}

// ---------------------------------------------------------------------------
// Floors, in milliseconds, with the formula each follows

// The record lines of hexText up to the end record: characters after the colon.
std::vector<int> RecordCharCounts() {
    std::vector<int> counts;
    std::istringstream lines(hexText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == ":00000001FF") {
            break;
        }
        counts.push_back(static_cast<int>(line.size()) - 1);
    }
    return counts;
}

// What the simulated target answers, character for character: the answer
// to "@" up to the end of "$$$" (p) and whole (A), and its fixed answers.
TargetAnswers SimAnswers() {
    TargetAnswers answers{};
    answers.promptEnd = EndOf(kPrompt, "$$$");
    answers.prompt = static_cast<int>(kPrompt.size());
    answers.verdict = kVerdictChars;
    answers.dumpOpen = kDumpOpenAnswerChars;
    answers.dump = kDumpAnswerChars;
    answers.basicBanner = static_cast<int>(kBasicBanner.size());
    answers.basicReady = static_cast<int>(kBasicReady.size());
    answers.lineEnd = kBasicCrAnswerChars;
    return answers;
}

// The uploads' work: the records of hexText up to the end record.
UploadWork LoadWork() {
    UploadWork work{0, 0, 0};
    for (int n : RecordCharCounts()) {
        ++work.records;
        work.dataBytes += (n - 10) / 2;
        work.sentChars += n;
    }
    return work;
}

// Characters of one BASIC piece that are echoed (0x20..0x7F) and not.
void CountPiece(const std::string& piece, int* echoed, int* silent) {
    *echoed = 0;
    *silent = 0;
    for (char c : piece) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7F) {
            ++*echoed;
        } else {
            ++*silent;
        }
    }
}

// The typing's work: every line of basicText is one piece.
TypingWork BasicWork() {
    int echoed = 0;
    int silent = 0;
    CountPiece(basicText, &echoed, &silent);
    return TypingWork{kBasicLines, kBasicLines, echoed, silent};
}

// The floors are the programs' own time estimates (programs/common/pace.h),
// worked out from the same pauses the programs take, with the simulated
// target's real answers in place of the least ones.
double TorvanexFloor() {
    return TorvanexMs(LoadWork(), SimAnswers());
}

double TorvaneFloor() {
    return TorvaneMs(LoadWork(), SimAnswers());
}

double QuilmarkFloor() {
    return QuilmarkMs(DumpWork{kLoadBytes / kRecordBytes}, SimAnswers());
}

double VerifyFloor() {
    return QuilmarkVerifyMs(DumpWork{kLoadBytes / kRecordBytes}, SimAnswers());
}

double FerroltFloor() {
    return FerroltMs(BasicWork(), SimAnswers());
}

double FloorOf(const std::string& program) {
    if (program == "Torvanex") {
        return TorvanexFloor();
    }
    if (program == "Torvane") {
        return TorvaneFloor();
    }
    if (program == "Quilmark") {
        return QuilmarkFloor();
    }
    if (program == "Verify") {
        return VerifyFloor();
    }
    return FerroltFloor();
}

// How many times the program waits for an answer with nothing else to do, so
// that the simulated target's latency and the pseudo-terminal's (the probe's
// excess over 2 C) add to its wall time once each: Torvanex's verdicts come
// within the 3 ms pause after each record's last character and the other
// handshakes within their long first pauses, leaving its one prompt;
// Torvane waits for each verdict, Quilmark (and its verify) for two answers
// per request,
// Ferrolt for every echo and for the answer to every line's CR.
int RoundTripsOf(const std::string& program) {
    const int records = static_cast<int>(RecordCharCounts().size());
    if (program == "Torvanex") {
        return 1;
    }
    if (program == "Torvane") {
        return records;
    }
    if (program == "Quilmark" || program == "Verify") {
        return 2 * static_cast<int>(kLoadBytes / kRecordBytes);
    }
    int echoed = 0;
    int silent = 0;
    CountPiece(basicText, &echoed, &silent);
    return echoed + kBasicLines;
}

// Prints each floor's formula with its figures.
void PrintFormulas() {
    const auto counts = RecordCharCounts();
    const int records = static_cast<int>(counts.size());
    const int n = counts.empty() ? 0 : counts.front();
    int echoed = 0;
    int silent = 0;
    CountPiece(basicText, &echoed, &silent);
    std::printf(
        "Floors (C = 11 bits / 9600 baud = %.4f ms per character; R = %d records of n = "
        "%d characters after the colon;\n",
        kCharMs, records, n);
    std::printf(
        "        p = %d: the prompt's \"$$$\" ends at its p-th character; A = %zu, the "
        "prompt's length):\n",
        EndOf(kPrompt, "$$$"), kPrompt.size());
    // The pauses in the formulas are the programs' own (programs/common/pace.h).
    std::printf(
        "  Torvanex  max(%d, (1+p)C) + %d + R(%d + %d(n-1) + max(%d, 2C) + %d)"
        "                = %.1f ms\n",
        kTorvanexWakePauseMs, kTorvanexReadyPauseMs, kTorvanexColonPauseMs, kTorvanexCharPauseMs,
        kTorvanexCharPauseMs, kTorvanexAcceptedPauseMs, TorvanexFloor());
    std::printf(
        "  Torvane   max(%d, (1+A)C) + %d + R(%d + (n+1)C + %d + %d) + %d"
        "                 = %.1f ms\n",
        kTorvaneWakePauseMs, kTorvaneQuietMs, kTorvaneColonPauseMs, kTorvaneQuietMs,
        kTorvaneAcceptedPauseMs, kTorvaneClosePauseMs, TorvaneFloor());
    std::printf(
        "  Quilmark  max(%d, (1+A)C) + %d + Q((1+1)C + (%d+%d)C + %d) + %d, Q = %u"
        "       = %.1f ms\n",
        kQuilmarkWakePauseMs, kQuilmarkQuietMs, kQuilmarkRequestChars, kDumpAnswerChars,
        kQuilmarkQuietMs, kQuilmarkQuietMs, kLoadBytes / kRecordBytes, QuilmarkFloor());
    std::printf(
        "  Verify    max(%d, (1+A)C) + %d + Q((1+1)C + (%d+%d)C + %d), Q = %u"
        "            = %.1f ms\n",
        kQuilmarkWakePauseMs, kQuilmarkQuietMs, kQuilmarkRequestChars, kDumpAnswerChars,
        kQuilmarkQuietMs, kLoadBytes / kRecordBytes, VerifyFloor());
    std::printf(
        "  Ferrolt   sum over the 3 prompts of max(%d, (1+A_i)C) + %d, A_i = %zu, %zu, %zu;\n"
        "            + E(2C + %d) + U %d + L((1+%d)C + %d) + %d, E = %d echoed, U = %d"
        " not echoed, L = %d lines = %.1f ms\n",
        kFerroltPromptPauseMs, kFerroltSettleQuietMs, kPrompt.size(), kBasicBanner.size(),
        kBasicReady.size(), kFerroltCharPauseMs, kFerroltCharPauseMs, kBasicCrAnswerChars,
        kFerroltLineQuietMs, kFerroltClosePauseMs, echoed, silent, kBasicLines, FerroltFloor());
}

// ---------------------------------------------------------------------------
// The simulated target

struct Sim {
    pid_t pid = -1;
    std::string port;
    std::string stats;
    std::string memoryOut;
};

// Starts targetsim with `extra` options after the pace and text options.
// Returns 0 with `sim` filled, or -1 after printing why (nothing left running).
int StartSim(const std::vector<std::string>& extra, bool pace, Sim* sim) {
    static int count = 0;
    ++count;
    sim->stats = workDir + "/stats" + std::to_string(count);
    std::vector<std::string> words = {binDir + "/targetsim",
                                      "--line-stats",
                                      sim->stats,
                                      "--prompt",
                                      Escaped(kPrompt),
                                      "--basic-banner",
                                      Escaped(kBasicBanner),
                                      "--basic-ready",
                                      Escaped(kBasicReady)};
    if (pace) {
        words.push_back("--pace");
    }
    words.insert(words.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0) {
        std::perror("z80bench: pipe");
        return -1;
    }
    sim->pid = fork();
    if (sim->pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    pollfd waiting{out[0], POLLIN, 0};
    while (poll(&waiting, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(out[0]);
    if (line.rfind("PORT ", 0) != 0) {
        std::fprintf(stderr, "z80bench: targetsim did not start (%s)\n", line.c_str());
        kill(sim->pid, SIGKILL);
        waitpid(sim->pid, nullptr, 0);
        sim->pid = -1;
        return -1;
    }
    sim->port = line.substr(5);
    return 0;
}

// Stops the simulated target and reads its answer lateness into `run`.
void StopSim(Sim* sim, Run* run) {
    if (sim->pid <= 0) {
        return;
    }
    kill(sim->pid, SIGTERM);
    waitpid(sim->pid, nullptr, 0);
    sim->pid = -1;
    std::istringstream stats(ReadFile(sim->stats));
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

// ---------------------------------------------------------------------------
// Measured runs

pid_t runningChild = -1;

void OnAlarm(int) {
    if (runningChild > 0) {
        kill(runningChild, SIGKILL);
    }
}

// Processor time (ms) the wineserver of the prefix has used so far, or -1
// when none is found. It is the wineserver whose working directory is the
// prefix's server directory (named after the prefix's device and inode).
double WineserverCpuMs() {
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
        if (ReadFile(dir + "/comm").rfind("wineserver", 0) != 0) {
            continue;
        }
        std::error_code failed;
        const std::string cwd = std::filesystem::read_symlink(dir + "/cwd", failed).string();
        if (failed || cwd.size() < std::strlen(suffix) ||
            cwd.compare(cwd.size() - std::strlen(suffix), std::string::npos, suffix) != 0) {
            continue;
        }
        // Fields 14 and 15 of /proc/PID/stat: user and system time in ticks.
        const std::string stat = ReadFile(dir + "/stat");
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

// Runs `words` with standard output to `outPath` and the environment changes
// in `env` ("NAME=value" sets, "NAME" unsets); kills it after `limitSec`.
// Standard error goes to `outPath` too, or with --stderr terminal to a
// pseudo-terminal that a helper process reads and throws away, so the
// program draws its progress line as on a person's console. Fills wall and
// processor time in `run`. Returns the exit status, or -1.
int RunMeasured(const std::vector<std::string>& words, const std::vector<std::string>& env,
                const std::string& outPath, int limitSec, Run* run) {
    int screen = -1;
    int console = -1;
    pid_t reader = -1;
    if (stderrOnTerminal) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        if (openpty(&screen, &console, nullptr, nullptr, &size) != 0) {
            return -1;
        }
        reader = fork();
        if (reader == 0) {
            close(console);
            char chunk[4096];
            for (;;) {
                const ssize_t got = read(screen, chunk, sizeof chunk);
                if (got <= 0 && !(got < 0 && errno == EINTR)) {
                    _exit(0);
                }
            }
        }
        close(screen);
    }
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& setting : env) {
            const std::size_t equals = setting.find('=');
            if (equals == std::string::npos) {
                unsetenv(setting.c_str());
            } else {
                setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
            }
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0) {
            _exit(127);
        }
        dup2(out, STDOUT_FILENO);
        dup2(console >= 0 ? console : out, STDERR_FILENO);
        dup2(in, STDIN_FILENO);
        if (console >= 0) {
            setenv("TERM", "xterm", 1);
        }
        std::vector<char*> argv;
        for (const auto& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) {
        if (reader > 0) {
            close(console);
            waitpid(reader, nullptr, 0);
        }
        return -1;
    }
    runningChild = pid;
    alarm(static_cast<unsigned>(limitSec));
    int status = 0;
    rusage usage{};
    pid_t done = -1;
    do {
        done = wait4(pid, &status, 0, &usage);
    } while (done < 0 && errno == EINTR);
    const int64_t end = NowNs();
    alarm(0);
    runningChild = -1;
    if (reader > 0) {
        close(console);  // the reader sees the terminal closed and ends
        waitpid(reader, nullptr, 0);
    }
    run->wallMs = static_cast<double>(end - start) / 1e6;
    run->cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    if (done != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Checks a finished run; prints what is wrong. Returns true when sound.
bool CheckRun(const std::string& program, int status, const std::string& output, const Sim& sim,
              const std::string& savedPath) {
    if (status != 0) {
        std::printf("  %s exited with status %d:\n%s\n", program.c_str(), status, output.c_str());
        return false;
    }
    if (program == "Torvanex" || program == "Torvane") {
        const std::string memory = ReadFile(sim.memoryOut);
        if (memory.size() != image.size() ||
            std::memcmp(memory.data() + kLoadAddress, image.data() + kLoadAddress, kLoadBytes) !=
                0) {
            std::printf("  %s: the target's memory does not hold the workload\n", program.c_str());
            return false;
        }
    } else if (program == "Quilmark") {
        std::string saved = ReadFile(savedPath);
        saved.erase(std::remove(saved.begin(), saved.end(), '\r'), saved.end());
        if (saved != hexText + "\n") {
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

// One measured run of `program` on `host` ("native" or "wine").
Run MeasureOnce(const std::string& program, const std::string& host) {
    Run run;
    Sim sim;
    std::vector<std::string> simOptions;
    const std::string tag = workDir + "/" + program + "-" + host;
    sim.memoryOut = tag + ".memory";
    if (program == "Quilmark" || program == "Verify") {
        simOptions = {"--memory-in", workDir + "/image.bin"};
    } else if (program != "Ferrolt") {
        simOptions = {"--memory-out", sim.memoryOut};
    }
    if (StartSim(simOptions, true, &sim) != 0) {
        return run;
    }

    const bool wine = host == "wine";
    std::string port = sim.port;
    std::string comLink;
    if (wine) {
        comLink = winePrefix + "/dosdevices/com" + std::to_string(kWineCom);
        unlink(comLink.c_str());
        if (symlink(sim.port.c_str(), comLink.c_str()) != 0) {
            std::perror("z80bench: COM link");
            StopSim(&sim, &run);
            return run;
        }
        port = std::to_string(kWineCom);
    }
    const std::string saved = tag + ".saved.hex";
    std::vector<std::string> args;
    if (program == "Torvanex" || program == "Torvane") {
        args = {workDir + "/load.hex", port};
    } else if (program == "Quilmark") {
        args = {"8000", "9000", saved, port};
    } else if (program == "Verify") {
        args = {"--verify", workDir + "/load.hex", port};
    } else {
        args = {workDir + "/program.bas", port};
    }
    const std::string executable = program == "Verify" ? "Quilmark" : program;
    std::vector<std::string> words;
    std::vector<std::string> env;
    if (wine) {
        words = {"wine", winBinDir + "/" + executable + ".exe"};
        env = {"WINEPREFIX=" + winePrefix, "WINEDEBUG=-all", "DISPLAY", "WAYLAND_DISPLAY"};
    } else {
        words = {binDir + "/" + executable};
    }
    words.insert(words.end(), args.begin(), args.end());

    const double serverBefore = wine ? WineserverCpuMs() : -1;
    const std::string outPath = tag + ".out";
    const int status = RunMeasured(words, env, outPath, 600, &run);
    const double serverAfter = wine ? WineserverCpuMs() : -1;
    if (serverBefore >= 0 && serverAfter >= 0) {
        run.wineserverCpuMs = serverAfter - serverBefore;
    }
    StopSim(&sim, &run);
    if (!comLink.empty()) {
        unlink(comLink.c_str());
    }
    run.ok = CheckRun(program, status, ReadFile(outPath), sim, saved);
    return run;
}

// ---------------------------------------------------------------------------
// The simulated target's own answer latency

struct Probe {
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
    double meanUs = 0;
    int count = 0;
};

// Waits up to `ms` for one byte on `fd`; returns it, or -1.
int ProbeByte(int fd, int ms) {
    const int64_t deadline = NowNs() + static_cast<int64_t>(ms) * 1000000;
    for (;;) {
        unsigned char byte = 0;
        if (read(fd, &byte, 1) == 1) {
            return byte;
        }
        const int64_t left = deadline - NowNs();
        if (left <= 0) {
            return -1;
        }
        pollfd waiting{fd, POLLIN, 0};
        timespec timeout{static_cast<time_t>(left / 1000000000),
                         static_cast<long>(left % 1000000000)};
        ppoll(&waiting, 1, &timeout, nullptr);
    }
}

// Reads until `pattern` has arrived (false after 2 s of silence), then until
// 50 ms of quiet.
bool ProbeAwait(int fd, const std::string& pattern) {
    std::string seen;
    while (seen.find(pattern) == std::string::npos) {
        const int byte = ProbeByte(fd, 2000);
        if (byte < 0) {
            return false;
        }
        seen += static_cast<char>(byte);
    }
    while (ProbeByte(fd, 50) >= 0) {
    }
    return true;
}

// Times `count` echoes of BASIC characters, 3 ms apart: the time from the
// write of a character to the read of its echo, less the 2 C a paced line
// needs (nothing on an instant line). Returns the figures; count 0 on failure.
Probe ProbeEchoes(bool pace, int count) {
    Probe probe;
    Sim sim;
    Run ignored;
    if (StartSim({}, pace, &sim) != 0) {
        return probe;
    }
    const int fd = open(sim.port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        StopSim(&sim, &ignored);
        return probe;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    settings.c_cflag |= CSTOPB | CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &settings);
    bool ready = write(fd, "@", 1) == 1 && ProbeAwait(fd, "$$$") && write(fd, "B", 1) == 1 &&
                 ProbeAwait(fd, "top?") && write(fd, "\r", 1) == 1 && ProbeAwait(fd, "Ok");
    std::vector<double> excess;
    const double lineUs = pace ? 2 * kCharMs * 1000.0 : 0.0;
    for (int i = 0; ready && i < count; ++i) {
        const char c = static_cast<char>('A' + i % 26);
        const int64_t sent = NowNs();
        if (write(fd, &c, 1) != 1 || ProbeByte(fd, 1000) != static_cast<unsigned char>(c)) {
            ready = false;
            break;
        }
        excess.push_back(static_cast<double>(NowNs() - sent) / 1000.0 - lineUs);
        if (i % 60 == 59) {
            ready = write(fd, "\r", 1) == 1 && ProbeAwait(fd, "\n");
        }
        timespec pause{0, 3000000};
        nanosleep(&pause, nullptr);
    }
    close(fd);
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

// ---------------------------------------------------------------------------
// Report

// Prints the processor, the kernel, the start time and the load average (the
// one-minute figure) at the start and, once the runs are done, at the end.
void PrintMachine(std::FILE* out, bool atEnd) {
    std::string model;
    std::istringstream cpuinfo(ReadFile("/proc/cpuinfo"));
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&startTime));
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::string kernel = ReadFile("/proc/sys/kernel/osrelease");
    kernel.erase(std::remove(kernel.begin(), kernel.end(), '\n'), kernel.end());
    std::fprintf(out,
                 "Machine: %s, %ld processors, Linux %s; started %s; load average at start %.2f",
                 model.c_str(), sysconf(_SC_NPROCESSORS_ONLN), kernel.c_str(), date, startLoad);
    if (atEnd) {
        std::fprintf(out, ", at end %.2f", load[0]);
    }
    std::fprintf(out, "\n");
}

void PrintTable(std::FILE* out, bool markdown) {
    if (markdown) {
        std::fputs(
            "| Program | Host | Runs | Wall s (median) | Floor s | Wall/floor (median, "
            "range) | Processor % of wall | wineserver % | Target late, mean/max us | "
            "Round trips | Target + pty, est. % of floor |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|\n",
            out);
    } else {
        std::fprintf(out, "%-9s %-6s %4s %10s %9s %22s %9s %11s %16s %6s %6s\n", "Program", "Host",
                     "Runs", "Wall s", "Floor s", "Wall/floor (range)", "CPU %", "wineserver%",
                     "Target late us", "Trips", "Pty %");
    }
    for (const Row& row : rows) {
        std::vector<double> walls;
        std::vector<double> ratios;
        std::vector<double> shares;
        std::vector<double> serverShares;
        std::vector<double> lateMeans;
        double lateMax = 0;
        int failed = 0;
        for (const Run& run : row.runs) {
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
        std::snprintf(runsText, sizeof runsText, failed > 0 ? "%zu+%dF" : "%zu", walls.size(),
                      failed);
        const double medium = 100.0 * row.roundTrips * echoExcessMeanUs / 1000.0 / row.floorMs;
        if (markdown) {
            std::fprintf(out,
                         "| %s | %s | %s | %.3f | %.3f | %s | %.2f | %s | %.0f / %.0f | %d | "
                         "%.2f |\n",
                         row.program.c_str(), row.host == "wine" ? "Wine" : "native", runsText,
                         Median(walls), row.floorMs / 1000.0, range, Median(shares), server,
                         Median(lateMeans), lateMax, row.roundTrips, medium);
        } else {
            std::fprintf(out, "%-9s %-6s %4s %10.3f %9.3f %22s %9.2f %11s %8.0f/%-7.0f %6d %6.2f\n",
                         row.program.c_str(), row.host.c_str(), runsText, Median(walls),
                         row.floorMs / 1000.0, range, Median(shares), server, Median(lateMeans),
                         lateMax, row.roundTrips, medium);
        }
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

// ---------------------------------------------------------------------------
// Arguments

int Usage() {
    std::fprintf(stderr,
                 "Usage: z80bench --bin DIR [--win-bin DIR --wine-prefix DIR] [--runs N]\n"
                 "                [--hosts native,wine]\n"
                 "                [--programs Torvanex,Torvane,Quilmark,Verify,Ferrolt]\n"
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

// Returns 0, or -1 when the arguments are not usable.
int ParseArguments(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            return -1;
        }
        const std::string value = argv[++i];
        if (name == "--bin") {
            binDir = value;
        } else if (name == "--win-bin") {
            winBinDir = value;
        } else if (name == "--wine-prefix") {
            winePrefix = value;
        } else if (name == "--runs") {
            runs = std::atoi(value.c_str());
        } else if (name == "--markdown") {
            markdownPath = value;
        } else if (name == "--keep") {
            keepDir = value;
        } else if (name == "--stderr" && (value == "file" || value == "terminal")) {
            stderrOnTerminal = value == "terminal";
        } else if (name == "--hosts") {
            const auto hosts = SplitCommas(value);
            wantNative = std::find(hosts.begin(), hosts.end(), "native") != hosts.end();
            wantWine = std::find(hosts.begin(), hosts.end(), "wine") != hosts.end();
        } else if (name == "--programs") {
            programs = SplitCommas(value);
        } else {
            return -1;
        }
    }
    for (const auto& program : programs) {
        if (program != "Torvanex" && program != "Torvane" && program != "Quilmark" &&
            program != "Verify" && program != "Ferrolt") {
            return -1;
        }
    }
    return binDir.empty() || runs < 1 ? -1 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Arguments and hosts.
    if (ParseArguments(argc, argv) != 0) {
        return Usage();
    }
    if (wantWine && (winBinDir.empty() || winePrefix.empty())) {
        std::printf("Wine runs skipped: no --win-bin and --wine-prefix given\n");
        wantWine = false;
    }
    struct sigaction alarmAction {};
    alarmAction.sa_handler = OnAlarm;
    sigaction(SIGALRM, &alarmAction, nullptr);

    // Workloads.
    char pattern[] = "/tmp/z80bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("z80bench: work directory");
        return 1;
    }
    workDir = pattern;
    MakeWorkloads();
    if (WriteFile(workDir + "/image.bin", std::string(image.begin(), image.end())) != 0 ||
        WriteFile(workDir + "/load.hex", hexText) != 0 ||
        WriteFile(workDir + "/program.bas", basicText) != 0) {
        return 1;
    }
    startTime = std::time(nullptr);
    getloadavg(&startLoad, 1);
    PrintMachine(stdout, false);
    PrintFormulas();
    std::fflush(stdout);

    // The simulated target's own latency, paced and instant.
    const Probe paced = ProbeEchoes(true, 300);
    const Probe instant = ProbeEchoes(false, 300);
    PrintProbe(stdout, "", "Target echo, paced line", paced);
    PrintProbe(stdout, "", "Target echo, instant line", instant);
    std::fflush(stdout);
    echoExcessMeanUs = paced.meanUs;

    // Runs, interleaved so a slow spell of the machine is shared out.
    for (const auto& program : programs) {
        const bool windowsProgram = program != "Torvanex";
        if (wantNative) {
            rows.push_back(Row{program, "native", FloorOf(program), RoundTripsOf(program), {}});
        }
        if (wantWine && windowsProgram) {
            rows.push_back(Row{program, "wine", FloorOf(program), RoundTripsOf(program), {}});
        }
    }
    for (int r = 1; r <= runs; ++r) {
        for (Row& row : rows) {
            Run run = MeasureOnce(row.program, row.host);
            std::printf("run %d %-9s %-6s wall %8.3f s  ratio %.4f  cpu %6.2f %%%s\n", r,
                        row.program.c_str(), row.host.c_str(), run.wallMs / 1000.0,
                        run.wallMs / row.floorMs, 100.0 * run.cpuMs / std::max(run.wallMs, 1.0),
                        run.ok ? "" : "  FAILED");
            std::fflush(stdout);
            anyFailed = anyFailed || !run.ok;
            row.runs.push_back(run);
        }
    }

    // Table, on the console and as Markdown.
    std::printf("\n");
    PrintTable(stdout, false);
    if (!markdownPath.empty()) {
        std::FILE* out = std::fopen(markdownPath.c_str(), "w");
        if (out != nullptr) {
            PrintMachine(out, true);
            std::fprintf(out, "\n");
            PrintTable(out, true);
            std::fprintf(out, "\n");
            PrintProbe(out, "", "Target echo, paced line", paced);
            PrintProbe(out, "", "Target echo, instant line", instant);
            std::fclose(out);
        }
    }

    // Work files: kept on request, removed otherwise.
    std::error_code ignored;
    if (!keepDir.empty()) {
        std::filesystem::create_directories(keepDir, ignored);
        std::filesystem::copy(workDir, keepDir,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing,
                              ignored);
    }
    std::filesystem::remove_all(workDir, ignored);
    return anyFailed ? 1 : 0;
}
