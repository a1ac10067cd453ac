#include "tests/hardening/hardening.h"

#include <signal.h>

RunResult RunAndDo(const std::string& program, const std::vector<std::string>& args,
                   const SimTarget& sim, const std::function<bool()>& ready,
                   const std::function<void(pid_t)>& action, int timeoutSec) {
    std::vector<std::string> words;
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? sim.port() : arg);
    }
    bool done = false;
    RunResult result = RunProgram(NativeExe(program), words, timeoutSec, {}, [&](pid_t pid) {
        if (!done && ready()) {
            action(pid);
            done = true;
        }
    });
    // A run that ended before its action did not show what the action does.
    if (!done) {
        result.status = -1;
    }
    return result;
}

RunResult RunAndSignal(const std::string& program, const std::vector<std::string>& args,
                       const SimTarget& sim, const std::function<bool()>& ready, int signal,
                       int timeoutSec) {
    return RunAndDo(
        program, args, sim, ready, [signal](pid_t pid) { kill(pid, signal); }, timeoutSec);
}
