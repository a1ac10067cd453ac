// A pseudo-terminal pair for serial-link and dialogue tests: the program side
// is opened by name through the serial link, the target side is driven here.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

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
    void Send(const std::string& bytes) const {
        ssize_t ignored = write(target_, bytes.data(), bytes.size());
        (void)ignored;
    }

  private:
    int target_ = -1;
    int slave_ = -1;
    std::string path_;
};
