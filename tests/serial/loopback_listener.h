// A listener on the loopback interface played by a test, and bytes written
// as numbers, for the serial link's network port tests.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "launch/await_state.h"

// A listening socket on 127.0.0.1 at a free port, and the connection it takes.
class Listener {
  public:
    Listener() {
        listening_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(listening_, 1) == 0 &&
            getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~Listener() {
        Hang();
        StopListening();
    }
    std::string Name(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    int port() const {
        return port_;
    }
    bool Accept() {
        pollfd waiting{listening_, POLLIN, 0};
        if (poll(&waiting, 1, 10000) == 1) {
            peer_ = accept(listening_, nullptr, nullptr);
        }
        return peer_ >= 0;
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // The next `count` bytes from the program (fewer when none come for 10 s).
    std::string Receive(std::size_t count) {
        std::string got;
        char chunk[256];
        pollfd waiting{peer_, POLLIN, 0};
        while (got.size() < count && poll(&waiting, 1, 10000) == 1) {
            const ssize_t n = recv(peer_, chunk, std::min(sizeof chunk, count - got.size()), 0);
            if (n <= 0) {
                break;
            }
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }
    void Hang() {
        if (peer_ >= 0) {
            close(peer_);
        }
        peer_ = -1;
    }
    void StopListening() {
        if (listening_ >= 0) {
            close(listening_);
        }
        listening_ = -1;
    }

  private:
    int listening_ = -1;
    int peer_ = -1;
    int port_ = 0;
};

inline std::string Of(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

// A listener on 127.0.0.1 whose queue of connections not yet accepted is
// full (one waits there, never accepted): the first packet of a connection
// to it is dropped, and dropped again each time it is sent, so the
// connection hangs until its caller gives up.
class FullListener {
  public:
    FullListener() {
        listening_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listening_, 0) != 0 ||
            getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        waiting_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        connect(waiting_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        full_ = AwaitState([this] { return QueueFull(); }, 10000);
    }
    ~FullListener() {
        close(waiting_);
        close(listening_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool full() const {
        return full_;
    }
    int port() const {
        return port_;
    }
    std::string Name(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    // True while a connection to it from this machine waits for its answer
    // (SYN-SENT in /proc/net/tcp).
    bool Connecting() const {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        char remote[16];
        std::snprintf(remote, sizeof remote, "0100007F:%04X", port_);
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, peer, state;
            fields >> slot >> local >> peer >> state;
            if (peer == remote && state == "02") {
                return true;
            }
        }
        return false;
    }

  private:
    // For a listener, TCP_INFO tells its queue's length and bound.
    bool QueueFull() const {
        tcp_info info{};
        socklen_t length = sizeof info;
        return getsockopt(listening_, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
               info.tcpi_unacked > info.tcpi_sacked;
    }

    int listening_ = -1;
    int waiting_ = -1;
    int port_ = 0;
    bool full_ = false;
};
