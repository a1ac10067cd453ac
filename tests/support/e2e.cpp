#include "tests/support/e2e.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

// The simulated target's priority, where it may be raised.
constexpr int kSimulatorNice = -10;

std::vector<char*> ArgvOf(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1]));
    }
    return out;
}

}  // namespace

TempDir::TempDir() {
    char pattern[] = "/tmp/z80test.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, std::string_view content) const {
    std::string full = path_ + "/" + name;
    std::ofstream out(full, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return full;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

SimTarget::SimTarget(std::vector<std::string> options) {
    std::vector<std::string> words = {TARGETSIM_EXE, "--transcript", dir_.path() + "/transcript",
                                      "--memory-out", dir_.path() + "/memory"};
    words.insert(words.end(), options.begin(), options.end());
    int out[2];
    // Close-on-exec, so no other child holds the pipe open; the simulator's
    // own standard output is a duplicate without the flag.
    if (pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Ahead of everything else on the machine where that is allowed (as
        // root, the way CI runs); the programs yield to it in any case (see
        // RunProgram).
        setpriority(PRIO_PROCESS, 0, kSimulatorNice);
        dup2(out[1], STDOUT_FILENO);
        auto argv = ArgvOf(words);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line is "PORT <path>".
    std::string line;
    char c;
    pollfd waiting{out[0], POLLIN, 0};
    while (poll(&waiting, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    fromSim_ = out[0];
    if (line.rfind("PORT ", 0) != 0) {
        Stop();
        throw std::runtime_error("targetsim did not start: " + line);
    }
    port_ = line.substr(5);
}

SimTarget::~SimTarget() {
    Stop();
}

void SimTarget::Stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(fromSim_);
    fromSim_ = -1;
}

void SimTarget::Sync() const {
    if (pid_ <= 0 || fromSim_ < 0 || kill(pid_, SIGUSR1) != 0) {
        return;
    }
    std::string line;
    char c;
    pollfd waiting{fromSim_, POLLIN, 0};
    while (poll(&waiting, 1, 60000) > 0) {
        if (read(fromSim_, &c, 1) != 1) {
            // Ended by itself (the line hung up): its transcript is complete.
            close(fromSim_);
            fromSim_ = -1;
            return;
        }
        if (c != '\n') {
            line += c;
        } else if (line == "SYNC") {
            return;
        } else {
            line.clear();
        }
    }
}

std::vector<TranscriptLine> SimTarget::Transcript() const {
    Sync();
    std::vector<TranscriptLine> lines;
    std::istringstream in(ReadFileText(dir_.path() + "/transcript"));
    std::string raw;
    while (std::getline(in, raw)) {
        TranscriptLine line{};
        std::size_t first = raw.find(' ');
        std::size_t second = raw.find(' ', first + 1);
        if (raw.empty() || first == std::string::npos) {
            continue;
        }
        line.kind = raw[0];
        line.timeUs = std::atoll(raw.c_str() + first + 1);
        line.text = second == std::string::npos ? "" : raw.substr(second + 1);
        if (line.kind == 'R' || line.kind == 'S') {
            line.text = FromHex(line.text);
        }
        lines.push_back(line);
    }
    return lines;
}

std::string SimTarget::Received() const {
    std::string all;
    for (const auto& line : ReceivedChunks()) {
        all += line.text;
    }
    return all;
}

std::vector<TranscriptLine> SimTarget::ReceivedChunks() const {
    std::vector<TranscriptLine> chunks;
    for (const auto& line : Transcript()) {
        if (line.kind == 'R') {
            chunks.push_back(line);
        }
    }
    return chunks;
}

std::vector<std::string> SimTarget::Events() const {
    std::vector<std::string> events;
    for (const auto& line : Transcript()) {
        if (line.kind == 'E') {
            events.push_back(line.text);
        }
    }
    return events;
}

std::string SimTarget::LineSettings() const {
    std::string last;
    for (const auto& line : Transcript()) {
        if (line.kind == 'L') {
            last = line.text;
        }
    }
    return last;
}

std::vector<unsigned char> SimTarget::Memory() {
    Stop();
    std::string image = ReadFileText(dir_.path() + "/memory");
    return std::vector<unsigned char>(image.begin(), image.end());
}

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args, int timeoutSec,
                     const std::vector<std::string>& extraEnv, const WhileRunning& whileRunning) {
    std::vector<std::string> words = {exe};
    words.insert(words.end(), args.begin(), args.end());
    TempDir scratch;
    const std::string outPath = scratch.path() + "/stdout";
    const std::string errPath = scratch.path() + "/stderr";
    pid_t pid = fork();
    if (pid == 0) {
        // The program yields the processor to the simulated target, which
        // stands in for a board with a processor of its own: on a loaded
        // machine an answer then still reaches the program within the
        // program's real protocol windows (a late program only reads later,
        // which its waits allow for).
        errno = 0;
        if (nice(kProgramNice) == -1 && errno != 0) {
            _exit(126);
        }
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        dup2(in, STDIN_FILENO);
        for (const auto& setting : extraEnv) {
            putenv(const_cast<char*>(setting.c_str()));
        }
        auto argv = ArgvOf(words);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        if (whileRunning) {
            whileRunning(pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.output = ReadFileText(outPath);
    result.errors = ReadFileText(errPath);
    return result;
}

std::string ForHost(Host host, std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && host == Host::Wine) {
            out += '\r';
        }
        out += c;
    }
    return out;
}

std::vector<unsigned char> PatternBytes(unsigned first, unsigned count) {
    std::vector<unsigned char> data;
    for (unsigned i = 0; i < count; ++i) {
        data.push_back(static_cast<unsigned char>((first + i * 7) & 0xFF));
    }
    return data;
}

bool HasEvent(const SimTarget& sim, const std::string& start) {
    for (const auto& event : sim.Events()) {
        if (event.rfind(start, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::string DataRecord(unsigned address, const std::vector<unsigned char>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(data.size()), address);
    std::string record = text;
    for (unsigned char byte : data) {
        std::snprintf(text, sizeof text, "%02X", byte);
        record += text;
        sum += byte;
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return record + text;
}
