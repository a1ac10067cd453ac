#include "tests/hardening/hardening.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

RunResult RunAndSignal(const std::string& program, const std::vector<std::string>& args,
                       const SimTarget& sim, const std::function<bool()>& ready, int signal,
                       int timeoutSec) {
    std::vector<std::string> words = {std::string(NATIVE_BIN_DIR) + "/" + program};
    for (const auto& arg : args) {
        words.push_back(arg == "{port}" ? sim.port() : arg);
    }
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    TempDir scratch;
    const std::string outPath = scratch.path() + "/stdout";

    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(out, STDOUT_FILENO);
        dup2(in, STDIN_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    bool signalled = false;
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // A run that ended before its signal did not show what a stop does.
            result.status = signalled && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        if (!signalled && ready()) {
            kill(pid, signal);
            signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.output = ReadFileText(outPath);
    return result;
}
