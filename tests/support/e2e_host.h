// Running the Windows programs (Torvane, Quilmark, Ferrolt) on either host:
// natively on this machine, or the Windows build under Wine. One set of
// end-to-end cases runs on both.
//
// Under Wine the programs run in one prefix made fresh for each test run by
// the CTest fixture "WinePrefix" (tests/support/wine.cmake): Wine cases must
// require it, as gtest_discover_host_tests() does. A COM port there is a
// dosdevices/comN link to the simulator's pseudo-terminal, made for one run.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/support/e2e.h"

// True when programs built for `host` can be run here: natively always; under
// Wine when the Windows build exists, wine is installed and the prefix is
// ready. When Wine cannot run and the CI environment variable is set, this
// also records a fatal test failure (with the reason), so CI never passes a
// Wine suite that was only skipped.
bool HostAvailable(Host host);

// Why `host` cannot run programs here ("" when it can).
std::string HostUnavailableReason(Host host);

// Runs `program` ("Torvane", "Quilmark" or "Ferrolt") built for `host`.
// In `args`, the word "{port}" becomes a port argument that reaches `sim`:
// its device path natively, a COM port number under Wine (one of 100..199,
// held by this run alone, so parallel runs never share one). Files are passed
// as paths of this machine; under Wine they are reachable the same way.
// Under Wine, "\n" in the output is printed as "\r\n" (see ForHost).
// Returns the run's status and output; status -1 when it was killed after
// `timeoutSec` seconds or could not be started.
RunResult RunOnHost(Host host, const std::string& program, const std::vector<std::string>& args,
                    const SimTarget& sim, int timeoutSec = 180);

// Runs `program` built for `host` as RunOnHost does, with "{port}" in `args`
// reaching `device`, a path of this machine that need not be a simulated
// target (a file, /dev/null, a directory, a path that is not there): the path
// itself natively, a COM port linked to it under Wine.
RunResult RunOnHostAtDevice(Host host, const std::string& device, const std::string& program,
                            const std::vector<std::string>& args, int timeoutSec = 180);

// Runs `program` built for `host` as RunOnHost does, with "{port}" in `args`
// becoming `portName` as it stands on either host (a network port's name),
// `program` being any of the four natively. `whileRunning` is RunProgram's.
RunResult RunOnHostAtPortName(Host host, const std::string& portName, const std::string& program,
                              const std::vector<std::string>& args, int timeoutSec = 180,
                              const WhileRunning& whileRunning = nullptr);

// Runs `program` under Wine with `sim` reached as COM port `comNumber`, for
// cases about the port argument itself (COM3 given as "3", or no argument for
// the default //./COM10); "{port}" in `args` becomes that number. Waits while
// another run, of this or any other test program, holds the same number.
// Returns as RunOnHost.
RunResult RunUnderWineAtCom(int comNumber, const std::string& program,
                            const std::vector<std::string>& args, const SimTarget& sim,
                            int timeoutSec = 180);

// Runs `program` under Wine as RunOnHost does, with standard output and error
// on one tmux terminal of kTerminalRows x kTerminalColumns, and returns the
// screen as the person at it sees it when the program has ended.
std::string ScreenUnderWine(const std::string& program, const std::vector<std::string>& args,
                            const SimTarget& sim, int timeoutSec = 180);

// Name for test instantiation: "Native" or "Wine".
std::string HostName(Host host);

// Shows a host by its name in test names and failure messages.
void PrintTo(Host host, std::ostream* out);

// The port name a run reported on its port line ("" when none), whichever
// way the program words it: "Serial Port <name> open at", "Com Port(1)
// <name> open at", "Com Port <name> open at" or "  PORT: <name>".
std::string ReportedPort(const std::string& output);

// Finds the port name `output` reports (as ReportedPort), checks it against
// `host` (the simulator's device natively, a COM port under Wine) and puts
// "{port}" in its place, so one expected text fits both hosts. Leaves
// `output` as it was when it reports no port.
void MarkReportedPort(Host host, const SimTarget& sim, std::string* output);

// The host of a case's parameter: the parameter itself, the first member of
// a tuple, or the `host` member of a row.
inline Host HostOf(Host host) {
    return host;
}
template <typename... Rest>
Host HostOf(const std::tuple<Host, Rest...>& param) {
    return std::get<0>(param);
}
template <typename Row>
auto HostOf(const Row& row) -> decltype(row.host) {
    return row.host;
}

// The base fixture of every end-to-end case that runs a program on a host:
// natively, or the Windows build under Wine. A case whose host cannot run
// programs here is skipped in SetUp, so its body never runs (under CI,
// HostAvailable makes that a failure instead). `Param` is a Host, a tuple
// starting with one, or a row with a `host` member (see HostOf).
template <typename Param>
class HostTest : public ::testing::TestWithParam<Param> {
  protected:
    void SetUp() override {
        if (!HostAvailable(host())) {
            GTEST_SKIP() << HostName(host()) << ": " << HostUnavailableReason(host());
        }
    }
    Host host() const {
        return HostOf(this->GetParam());
    }
    bool native() const {
        return host() == Host::Native;
    }
    // `text` as the program prints it on this host (see ForHost).
    std::string Shown(std::string_view text) const {
        return ForHost(host(), text);
    }
    // Runs `program` on this host, as RunOnHost.
    RunResult Run(const std::string& program, const std::vector<std::string>& args,
                  const SimTarget& sim, int timeoutSec = 180) const {
        return RunOnHost(host(), program, args, sim, timeoutSec);
    }
};

// Both hosts, for INSTANTIATE_TEST_SUITE_P of a fixture whose parameter is a
// Host, with HostCaseName naming each instance "Native" or "Wine".
inline auto EveryHost() {
    return ::testing::Values(Host::Native, Host::Wine);
}
inline std::string HostCaseName(const ::testing::TestParamInfo<Host>& info) {
    return HostName(info.param);
}

// A program run on `host` in a tmux terminal of its own, to be typed at as a
// person would: standard input, output and error on the terminal. The
// terminal's settings (stty -a) are taken just before the program starts
// and just after it ends.
class TerminalSession {
  public:
    // "{port}" in `args` reaches `sim` as in RunOnHost.
    TerminalSession(Host host, const std::string& program, const std::vector<std::string>& args,
                    const SimTarget& sim);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // True once the screen shows `text` (within `timeoutMs`).
    bool AwaitScreen(const std::string& text, int timeoutMs = 60000) const;
    // What the screen shows now.
    std::string Screen() const;
    // Types `keys` as they stand, or a key by its tmux name ("C-]").
    void Type(const std::string& keys) const;
    void TypeKey(const std::string& key) const;
    // Waits until the program has ended: its exit status, or -1 after `timeoutSec`.
    int AwaitEnd(int timeoutSec = 60) const;
    // The terminal's settings before the program ran and after it ended.
    std::string SettingsBefore() const;
    std::string SettingsAfter() const;

  private:
    TempDir dir_;
    std::string server_;
    std::shared_ptr<void> comPort_;  // under Wine, the COM port that reaches the simulator
};
