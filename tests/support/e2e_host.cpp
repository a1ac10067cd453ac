#include "tests/support/e2e_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>

#include "launch/await_state.h"
#include "tests/support/terminal_run.h"

namespace {

// The unique COM numbers handed to "{port}": clear of the ports Wine maps to
// the machine's own serial devices (/dev/ttyS0 is COM1, and so on), of COM3
// and COM10, which cases ask for by number, and of COM99, which cases use as
// a port that is not there.
constexpr int kFirstFreeCom = 100;
constexpr int kLastFreeCom = 199;

const std::string kWinePrefix = WINE_PREFIX_DIR;
const std::string kWindowsBinDir = WINDOWS_BIN_DIR;

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool WineInstalled() {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t to = dirs.find(':', from);
        if (to == std::string::npos) {
            to = dirs.size();
        }
        std::string wine = dirs.substr(from, to - from) + "/wine";
        if (access(wine.c_str(), X_OK) == 0) {
            return true;
        }
        from = to + 1;
    }
    return false;
}

// A COM port of the Wine prefix, held for one run: an flock on its lock file
// keeps every other run (in any test program) off the number while its
// dosdevices link points at the simulator. Released at the end of scope.
class WineComPort {
  public:
    // Takes `number`, waiting while another run holds it.
    WineComPort(int number, const std::string& device) : number_(number) {
        lockFd_ = OpenLock(number_);
        if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX) != 0) {
            Release();
        }
        Link(device);
    }
    // Takes the first number of kFirstFreeCom..kLastFreeCom nobody holds.
    explicit WineComPort(const std::string& device) {
        for (int number = kFirstFreeCom; number <= kLastFreeCom; ++number) {
            int fd = OpenLock(number);
            if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
                number_ = number;
                lockFd_ = fd;
                break;
            }
            if (fd >= 0) {
                close(fd);
            }
        }
        Link(device);
    }
    ~WineComPort() {
        if (lockFd_ >= 0) {
            unlink(LinkPath().c_str());
        }
        Release();
    }
    WineComPort(const WineComPort&) = delete;
    WineComPort& operator=(const WineComPort&) = delete;

    // The port argument that names this port, "" when none could be had.
    std::string Argument() const {
        return lockFd_ >= 0 ? std::to_string(number_) : "";
    }

  private:
    static int OpenLock(int number) {
        const std::string dir = kWinePrefix + "/z80-com-locks";
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            return -1;
        }
        const std::string path = dir + "/com" + std::to_string(number);
        return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    std::string LinkPath() const {
        return kWinePrefix + "/dosdevices/com" + std::to_string(number_);
    }
    void Link(const std::string& device) {
        if (lockFd_ < 0) {
            return;
        }
        // A link left by a run that was killed is replaced.
        unlink(LinkPath().c_str());
        if (symlink(device.c_str(), LinkPath().c_str()) != 0) {
            Release();
        }
    }
    void Release() {
        if (lockFd_ >= 0) {
            close(lockFd_);
        }
        lockFd_ = -1;
    }

    int number_ = 0;
    int lockFd_ = -1;
};

// Runs the Windows build of `program` under Wine with "{port}" in `args`
// becoming `portArgument`.
RunResult RunUnderWineWith(const std::string& portArgument, const std::string& program,
                           const std::vector<std::string>& args, int timeoutSec,
                           const WhileRunning& whileRunning = nullptr) {
    std::vector<std::string> words = {kWindowsBinDir + "/" + program + ".exe"};
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? portArgument : arg);
    }
    // Without a display Wine stays a console host; "DISPLAY" alone unsets it.
    const std::vector<std::string> env = {"WINEPREFIX=" + kWinePrefix, "WINEDEBUG=-all", "DISPLAY",
                                          "WAYLAND_DISPLAY"};
    RunResult run = RunProgram("wine", words, timeoutSec, env, whileRunning);
    // Wine failing before the program printed anything says why only on its
    // standard error: shown in the test log, for a failure to be read.
    if (run.output.empty() && run.status != 0) {
        std::fprintf(stderr, "wine ended with status %d before the program printed anything: %s\n",
                     run.status, run.errors.c_str());
    }
    return run;
}

RunResult RunUnderWine(const WineComPort& port, const std::string& program,
                       const std::vector<std::string>& args, int timeoutSec) {
    if (port.Argument().empty()) {
        ADD_FAILURE() << "no COM port of the Wine prefix could be set up in " << kWinePrefix;
        return RunResult{};
    }
    return RunUnderWineWith(port.Argument(), program, args, timeoutSec);
}

// `word` quoted for the shell.
std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

std::string ScreenUnderWine(const std::string& program, const std::vector<std::string>& args,
                            const SimTarget& sim, int timeoutSec) {
    WineComPort port(sim.port());
    if (port.Argument().empty()) {
        ADD_FAILURE() << "no COM port of the Wine prefix could be set up in " << kWinePrefix;
        return "";
    }
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=" + Quoted(kWinePrefix) +
                          " WINEDEBUG=-all wine " + Quoted(kWindowsBinDir + "/" + program + ".exe");
    for (const auto& arg : args) {
        command += " " + Quoted(arg == "{port}" ? port.Argument() : arg);
    }
    // A server of this run's own; the pane stays until it is read.
    const std::string server = "z80-screen-" + std::to_string(getpid()) + "-" + port.Argument();
    command += "; tmux -L " + server + " wait-for -S ended; tmux -L " + server + " wait-for never";
    RunProgram("tmux",
               {"-L", server, "-f", "/dev/null", "new-session", "-d", "-x",
                std::to_string(kTerminalColumns), "-y", std::to_string(kTerminalRows), command});
    RunProgram("tmux", {"-L", server, "wait-for", "ended"}, timeoutSec);
    const RunResult screen = RunProgram("tmux", {"-L", server, "capture-pane", "-p"});
    RunProgram("tmux", {"-L", server, "kill-server"});
    return screen.output;
}

std::string HostUnavailableReason(Host host) {
    if (host == Host::Native) {
        return "";
    }
    if (kWindowsBinDir.empty()) {
        return "the Windows programs are not built (no MinGW-w64 compiler was found)";
    }
    if (!WineInstalled()) {
        return "wine is not installed";
    }
    if (!IsFile(kWinePrefix + "/z80-ready")) {
        return "the Wine prefix " + kWinePrefix +
               " is not ready: run the Wine cases through ctest, whose WinePrefix fixture "
               "makes it";
    }
    return "";
}

bool HostAvailable(Host host) {
    const std::string reason = HostUnavailableReason(host);
    if (reason.empty()) {
        return true;
    }
    const char* ci = std::getenv("CI");
    if (ci != nullptr && *ci != '\0') {
        // A fatal failure, so the test body is not run after the caller's skip.
        [&] { FAIL() << HostName(host) << " cannot run the programs under CI: " << reason; }();
    }
    return false;
}

std::string HostName(Host host) {
    return host == Host::Native ? "Native" : "Wine";
}

void PrintTo(Host host, std::ostream* out) {
    *out << HostName(host);
}

RunResult RunOnHost(Host host, const std::string& program, const std::vector<std::string>& args,
                    const SimTarget& sim, int timeoutSec) {
    return RunOnHostAtDevice(host, sim.port(), program, args, timeoutSec);
}

RunResult RunOnHostAtDevice(Host host, const std::string& device, const std::string& program,
                            const std::vector<std::string>& args, int timeoutSec) {
    if (host == Host::Wine) {
        WineComPort port(device);
        return RunUnderWine(port, program, args, timeoutSec);
    }
    std::vector<std::string> words;
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? device : arg);
    }
    return RunProgram(NativeExe(program), words, timeoutSec);
}

RunResult RunOnHostAtPortName(Host host, const std::string& portName, const std::string& program,
                              const std::vector<std::string>& args, int timeoutSec,
                              const WhileRunning& whileRunning) {
    if (host == Host::Wine) {
        return RunUnderWineWith(portName, program, args, timeoutSec, whileRunning);
    }
    std::vector<std::string> words;
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? portName : arg);
    }
    return RunProgram(NativeExe(program), words, timeoutSec, {}, whileRunning);
}

RunResult RunUnderWineAtCom(int comNumber, const std::string& program,
                            const std::vector<std::string>& args, const SimTarget& sim,
                            int timeoutSec) {
    WineComPort port(comNumber, sim.port());
    return RunUnderWine(port, program, args, timeoutSec);
}

namespace {

// The port lines of the programs, the port name in the first or second group.
const std::regex kPortLine(
    "(?:(?:Serial Port|Com Port(?:\\(1\\))?) (\\S+) open at|  PORT: ([^\r\n]*))");

}  // namespace

std::string ReportedPort(const std::string& output) {
    std::smatch match;
    if (!std::regex_search(output, match, kPortLine)) {
        return "";
    }
    return match[1].matched ? match[1].str() : match[2].str();
}

void MarkReportedPort(Host host, const SimTarget& sim, std::string* output) {
    std::smatch match;
    if (!std::regex_search(*output, match, kPortLine)) {
        return;
    }
    const int group = match[1].matched ? 1 : 2;
    const std::string name = match[group].str();
    if (host == Host::Native) {
        EXPECT_EQ(name, sim.port());
    } else {
        EXPECT_TRUE(std::regex_match(name, std::regex("(//\\./)?COM[0-9]+"))) << name;
    }
    output->replace(static_cast<std::size_t>(match.position(group)), name.size(), "{port}");
}

TerminalSession::TerminalSession(Host host, const std::string& program,
                                 const std::vector<std::string>& args, const SimTarget& sim)
    : server_("z80-session-" + std::to_string(getpid()) + "-" + program) {
    std::string command;
    std::string portArgument = sim.port();
    if (host == Host::Wine) {
        auto comPort = std::make_shared<WineComPort>(sim.port());
        portArgument = comPort->Argument();
        comPort_ = comPort;
        command = "env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=" + Quoted(kWinePrefix) +
                  " WINEDEBUG=-all wine " + Quoted(kWindowsBinDir + "/" + program + ".exe");
    } else {
        command = Quoted(NativeExe(program));
    }
    for (const auto& arg : args) {
        command += " " + Quoted(arg == "{port}" ? portArgument : arg);
    }
    const std::string at = dir_.path() + "/";
    command = "stty -a >" + Quoted(at + "before") + "; " + command + "; echo $? >" +
              Quoted(at + "status.new") + "; stty -a >" + Quoted(at + "after") + "; mv " +
              Quoted(at + "status.new") + " " + Quoted(at + "status") + "; tmux -L " + server_ +
              " wait-for never";
    // The command goes to /bin/sh as separate words, so tmux runs it itself
    // rather than through the user's login shell, which for an account made
    // for tests is nologin (and the session would end before it began).
    RunProgram("tmux", {"-L", server_, "-f", "/dev/null", "new-session", "-d", "-x",
                        std::to_string(kTerminalColumns), "-y", std::to_string(kTerminalRows),
                        "/bin/sh", "-c", command});
}

TerminalSession::~TerminalSession() {
    RunProgram("tmux", {"-L", server_, "kill-server"});
}

std::string TerminalSession::Screen() const {
    return RunProgram("tmux", {"-L", server_, "capture-pane", "-p", "-J"}).output;
}

bool TerminalSession::AwaitScreen(const std::string& text, int timeoutMs) const {
    return AwaitState([&] { return Screen().find(text) != std::string::npos; }, timeoutMs);
}

void TerminalSession::Type(const std::string& keys) const {
    RunProgram("tmux", {"-L", server_, "send-keys", "-l", keys});
}

void TerminalSession::TypeKey(const std::string& key) const {
    RunProgram("tmux", {"-L", server_, "send-keys", key});
}

int TerminalSession::AwaitEnd(int timeoutSec) const {
    const std::string status = dir_.path() + "/status";
    if (!AwaitState([&] { return IsFile(status); }, timeoutSec * 1000)) {
        return -1;
    }
    return std::atoi(ReadFileText(status).c_str());
}

std::string TerminalSession::SettingsBefore() const {
    return ReadFileText(dir_.path() + "/before");
}

std::string TerminalSession::SettingsAfter() const {
    return ReadFileText(dir_.path() + "/after");
}
