// Running the Windows programs (Torvane, Quilmark, Ferrolt) on either host:
// natively on this machine, or the Windows build under Wine. One set of
// end-to-end cases runs on both.
#pragma once

#include <string>
#include <vector>

#include "tests/support/e2e.h"

// True when programs built for `host` can be run here (the Wine build exists
// and Wine is installed).
bool HostAvailable(Host host);

// Runs `program` ("Torvane", "Quilmark" or "Ferrolt") built for `host`.
// In `args`, the word "{port}" becomes a port argument that reaches `sim`:
// its device path natively, a COM port number under Wine. Files are passed
// as paths of this machine; under Wine they are reachable the same way.
// Under Wine, "\n" in the output is printed as "\r\n" (see ForHost).
RunResult RunOnHost(Host host, const std::string& program, const std::vector<std::string>& args,
                    const SimTarget& sim, int timeoutSec = 180);

// Name for test instantiation: "Native" or "Wine".
std::string HostName(Host host);
