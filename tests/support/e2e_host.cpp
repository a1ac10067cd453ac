#include "tests/support/e2e_host.h"

bool HostAvailable(Host host) {
    return host == Host::Native;
}

std::string HostName(Host host) {
    return host == Host::Native ? "Native" : "Wine";
}

RunResult RunOnHost(Host host, const std::string& program, const std::vector<std::string>& args,
                    const SimTarget& sim, int timeoutSec) {
    std::vector<std::string> words;
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? sim.port() : arg);
    }
    if (host != Host::Native) {
        return RunResult{};
    }
    return RunProgram(std::string(NATIVE_BIN_DIR) + "/" + program, words, timeoutSec);
}
