// Running the Windows programs (Torvane, Quilmark, Ferrolt) on either host:
// natively on this machine, or the Windows build under Wine. One set of
// end-to-end cases runs on both.
//
// Under Wine the programs run in one prefix made fresh for each test run by
// the CTest fixture "WinePrefix" (tests/support/wine.cmake): Wine cases must
// require it, as gtest_discover_host_tests() does. A COM port there is a
// dosdevices/comN link to the simulator's pseudo-terminal, made for one run.
#pragma once

#include <ostream>
#include <string>
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

// Runs `program` under Wine with `sim` reached as COM port `comNumber`, for
// cases about the port argument itself (COM3 given as "3", or no argument for
// the default //./COM10); "{port}" in `args` becomes that number. Waits while
// another run, of this or any other test program, holds the same number.
// Returns as RunOnHost.
RunResult RunUnderWineAtCom(int comNumber, const std::string& program,
                            const std::vector<std::string>& args, const SimTarget& sim,
                            int timeoutSec = 180);

// Name for test instantiation: "Native" or "Wine".
std::string HostName(Host host);

// Shows a host by its name in test names and failure messages.
void PrintTo(Host host, std::ostream* out);
