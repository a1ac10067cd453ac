#include "launch/launch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

// How often `whileRunning` is called while a program runs.
constexpr int kWhileRunningMs = 10;

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::vector<char*> PointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with `changes` applied ("NAME=value" sets,
// "NAME" alone unsets), made before a fork so the child only execs.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    for (const auto& change : changes) {
        const std::string name = change.substr(0, change.find('='));
        for (auto it = env.begin(); it != env.end();) {
            it = it->compare(0, name.size() + 1, name + "=") == 0 ? env.erase(it) : it + 1;
        }
        if (change.find('=') != std::string::npos) {
            env.push_back(change);
        }
    }
    return env;
}

// In the child: priority, files, then the program. Never returns.
[[noreturn]] void ExecLaunch(const Launch& launch, std::vector<char*>& argv,
                             std::vector<char*>& envp) {
    errno = 0;
    if (launch.niceIncrement != 0 && nice(launch.niceIncrement) == -1 && errno != 0) {
        _exit(126);
    }
    const int out = launch.outPath.empty()
                        ? launch.outFd
                        : open(launch.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0) {
        _exit(127);
    }
    dup2(out, STDOUT_FILENO);
    if (!launch.errPath.empty()) {
        const int err = open(launch.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err < 0) {
            _exit(127);
        }
        dup2(err, STDERR_FILENO);
    } else if (launch.errorsToOut) {
        dup2(out, STDERR_FILENO);
    } else if (launch.errorsFd >= 0) {
        dup2(launch.errorsFd, STDERR_FILENO);
    }
    dup2(in, STDIN_FILENO);
    for (const int fd : launch.closed) {
        close(fd);
    }
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

// Waits up to `ms` for the process behind `pidfd` to exit; true when it has.
// Without a process descriptor (an old kernel), looks once a millisecond.
bool AwaitExit(int pidfd, pid_t pid, int ms) {
    if (pidfd >= 0) {
        pollfd exited{pidfd, POLLIN, 0};
        return poll(&exited, 1, ms) > 0;
    }
    siginfo_t info{};
    const int64_t until = NowNs() + static_cast<int64_t>(ms) * 1000000;
    for (;;) {
        info.si_pid = 0;
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid) {
            return true;
        }
        if (NowNs() >= until) {
            return false;
        }
        const timespec tick{0, 1000000};
        nanosleep(&tick, nullptr);
    }
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

int StartSimProcess(const std::string& exe, const std::vector<std::string>& options, int priority,
                    SimProcess* sim, std::string* why) {
    std::vector<std::string> words = {exe};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv = PointersTo(words);
    int out[2];
    // Close-on-exec, so no other child holds the pipe open; the simulator's
    // own standard output is a duplicate without the flag.
    if (pipe2(out, O_CLOEXEC) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return -1;
    }
    sim->pid = fork();
    if (sim->pid == 0) {
        if (priority != 0) {
            setpriority(PRIO_PROCESS, 0, priority);  // not allowed everywhere; no matter
        }
        dup2(out[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    pollfd waiting{out[0], POLLIN, 0};
    while (sim->pid > 0 && poll(&waiting, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    if (line.rfind("PORT ", 0) != 0) {
        close(out[0]);
        *why = "targetsim did not start: " + line;
        if (sim->pid > 0) {
            kill(sim->pid, SIGKILL);
            waitpid(sim->pid, nullptr, 0);
        }
        sim->pid = -1;
        return -1;
    }
    sim->port = line.substr(5);
    sim->output = out[0];
    return 0;
}

void StopSimProcess(SimProcess* sim) {
    if (sim->pid > 0) {
        kill(sim->pid, SIGTERM);
        int status = 0;
        waitpid(sim->pid, &status, 0);
    }
    if (sim->output >= 0) {
        close(sim->output);
    }
    sim->pid = -1;
    sim->output = -1;
}

Finished RunToEnd(const Launch& launch, const WhileRunning& whileRunning) {
    std::vector<std::string> words = launch.words;
    std::vector<std::string> env = EnvironmentWith(launch.env);
    std::vector<char*> argv = PointersTo(words);
    std::vector<char*> envp = PointersTo(env);
    Finished finished;
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        ExecLaunch(launch, argv, envp);
    }
    if (pid < 0) {
        return finished;
    }
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const int64_t deadline = start + static_cast<int64_t>(launch.timeoutSec) * 1000000000;
    for (;;) {
        const int64_t leftMs = (deadline - NowNs()) / 1000000;
        if (leftMs <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        const int waitMs = whileRunning
                               ? static_cast<int>(std::min<int64_t>(leftMs, kWhileRunningMs))
                               : static_cast<int>(std::min<int64_t>(leftMs, 1000000000));
        if (AwaitExit(pidfd, pid, waitMs)) {
            break;
        }
        if (whileRunning) {
            whileRunning(pid);
        }
    }
    int status = 0;
    rusage usage{};
    pid_t done = -1;
    do {
        done = wait4(pid, &status, 0, &usage);
    } while (done < 0 && errno == EINTR);
    finished.wallMs = static_cast<double>(NowNs() - start) / 1e6;
    if (pidfd >= 0) {
        close(pidfd);
    }
    finished.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    if (done == pid && WIFEXITED(status)) {
        finished.status = WEXITSTATUS(status);
    }
    return finished;
}
