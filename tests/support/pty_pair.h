// A pseudo-terminal pair for serial-link and dialogue tests: the program side
// is opened by name through the serial link, the target side is driven here.
#pragma once

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "launch/await_state.h"

// The calling thread's id, for ThreadBlockedInPoll.
inline pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// True while thread `tid` of this process is asleep inside ppoll, as the
// serial link's byte wait is when nothing is there to read.
inline bool ThreadBlockedInPoll(pid_t tid) {
    std::ifstream call("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    return (call >> number) && number == SYS_ppoll;
}

class PtyPair {
  public:
    PtyPair() {
        int slave = -1;
        char name[128] = {};
        if (openpty(&target_, &slave, name, nullptr, nullptr) == 0) {
            // Raw on both sides until the serial link sets its own settings,
            // so nothing is echoed or translated behind the test's back.
            termios raw{};
            tcgetattr(slave, &raw);
            cfmakeraw(&raw);
            tcsetattr(slave, TCSANOW, &raw);
            slave_ = slave;
            path_ = name;
        }
    }
    ~PtyPair() {
        if (target_ >= 0)
            close(target_);
        if (slave_ >= 0)
            close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const {
        return path_;
    }
    // The target's end: what the program writes arrives here, and back.
    int target() const {
        return target_;
    }
    // A descriptor of the program's end kept open by the test, to read the
    // line settings the program applied.
    int held() const {
        return slave_;
    }
    // Closes both ends the test holds, as a USB adapter pulled out: the
    // program's descriptor is then all that is left of the line.
    void HangUp() {
        if (target_ >= 0)
            close(target_);
        if (slave_ >= 0)
            close(slave_);
        target_ = slave_ = -1;
    }
    // Bytes that reached the program's end and are not read yet.
    int Unread() const {
        int count = 0;
        return ioctl(slave_, FIONREAD, &count) == 0 ? count : -1;
    }
    // Waits until at least `count` bytes sent are waiting at the program's
    // end; false when they were not there within `timeoutMs` milliseconds.
    bool AwaitUnread(int count, int timeoutMs = 10000) const {
        return AwaitState([&] { return Unread() >= count; }, timeoutMs);
    }
    void Send(const std::string& bytes) const {
        ssize_t ignored = write(target_, bytes.data(), bytes.size());
        (void)ignored;
    }
    // Reads at the target's end until `count` bytes came or none came for
    // `timeoutMs` milliseconds; returns what came.
    std::string Take(std::size_t count, int timeoutMs = 10000) const {
        std::string taken;
        pollfd waiting{target_, POLLIN, 0};
        char byte = 0;
        while (taken.size() < count && poll(&waiting, 1, timeoutMs) > 0 &&
               read(target_, &byte, 1) == 1) {
            taken += byte;
        }
        return taken;
    }

  private:
    int target_ = -1;
    int slave_ = -1;
    std::string path_;
};
