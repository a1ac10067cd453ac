#include "tests/hardening/hardening.h"

#include <signal.h>

RunResult RunAndSignal(const std::string& program, const std::vector<std::string>& args,
                       const SimTarget& sim, const std::function<bool()>& ready, int signal,
                       int timeoutSec) {
    std::vector<std::string> words;
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? sim.port() : arg);
    }
    bool signalled = false;
    RunResult result = RunProgram(std::string(NATIVE_BIN_DIR) + "/" + program, words, timeoutSec,
                                  {}, [&](pid_t pid) {
                                      if (!signalled && ready()) {
                                          kill(pid, signal);
                                          signalled = true;
                                      }
                                  });
    // A run that ended before its signal did not show what a stop does.
    if (!signalled) {
        result.status = -1;
    }
    return result;
}
