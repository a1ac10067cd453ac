#include "launch/ser2net.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "launch/await_state.h"

namespace {

const char* const kSer2net = "/usr/sbin/ser2net";

// True when /proc/net/tcp shows 127.0.0.1:`port` listening.
bool Listening(int port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X 00000000:0000 0A", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        if (line.find(wanted) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string Ser2netUnavailableReason() {
    return access(kSer2net, X_OK) == 0
               ? ""
               : std::string(kSer2net) + " is not installed (Debian package ser2net)";
}

int UnusedLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(s);
    return port;
}

Ser2net::Ser2net(const std::string& device, bool serverDefaults) {
    // A port handed out free may be taken before ser2net binds it: then
    // ser2net ends, and is started again on other ports.
    for (int attempt = 0; attempt < 3 && !Start(device, serverDefaults); ++attempt) {
    }
}

Ser2net::~Ser2net() {
    Kill();
}

bool Ser2net::Start(const std::string& device, bool serverDefaults) {
    rawPort_ = UnusedLoopbackPort();
    rfc2217Port_ = UnusedLoopbackPort();
    // One connection of the configuration: `accepter` in front of the
    // device, its line starting at `line`.
    const auto connection = [&](const std::string& name, const std::string& accepter,
                                const std::string& line) {
        return "connection: &" + name + "\n  accepter: " + accepter +
               "\n  connector: serialdev(nouucplock=true)," + device + "," + line +
               ",local\n  options:\n    chardelay: " + (serverDefaults ? "true" : "false") + "\n";
    };
    const std::string tcp = serverDefaults ? "tcp" : "tcp(nodelay)";
    const std::string config = dir_.Write(
        "ser2net.yaml",
        connection("raw", tcp + ",127.0.0.1," + std::to_string(rawPort_), "9600n82") +
            connection("rfc2217",
                       "telnet(rfc2217)," + tcp + ",127.0.0.1," + std::to_string(rfc2217Port_),
                       "115200n81"));
    const std::string log = dir_.path() + "/ser2net.log";
    const std::string pidFile = dir_.path() + "/ser2net.pid";
    const pid_t pid = fork();
    if (pid == 0) {
        // Forwarding for the simulated board, it keeps up as the board does.
        setpriority(PRIO_PROCESS, 0, -10);  // not allowed everywhere; no matter
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execl(kSer2net, kSer2net, "-n", "-c", config.c_str(), "-P", pidFile.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) {
        why_ = "fork failed";
        return false;
    }
    pid_ = pid;
    int status = 0;
    bool ended = false;
    AwaitState(
        [&] {
            ended = waitpid(pid_, &status, WNOHANG) == pid_;
            return ended || (Listening(rawPort_) && Listening(rfc2217Port_));
        },
        10000);
    if (ended) {
        pid_ = -1;  // reaped already
    } else if (Listening(rawPort_) && Listening(rfc2217Port_)) {
        return true;
    }
    why_ = "ser2net did not listen on 127.0.0.1 ports " + std::to_string(rawPort_) + " and " +
           std::to_string(rfc2217Port_) + ": " + ReadFileText(log);
    Kill();
    return false;
}

std::string Ser2net::Raw() const {
    return "tcp://127.0.0.1:" + std::to_string(rawPort_);
}

std::string Ser2net::Rfc2217() const {
    return "rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_);
}

void Ser2net::Kill() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}
