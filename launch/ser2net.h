// A real serial-port server for the network ports' end-to-end cases and the
// benchmark: ser2net on 127.0.0.1, at free ports, in front of a simulated
// target's pseudo-terminal, with a configuration of its own (no system service).
#pragma once

#include <sys/types.h>

#include <string>

#include "launch/launch.h"

// Why ser2net cannot be run here ("" when it can).
std::string Ser2netUnavailableReason();

class Ser2net {
  public:
    // Starts ser2net serving `device` twice: raw TCP with the line set to
    // 9600n82, and RFC 2217 with the line starting at 115200n81, so only the
    // negotiation gives it 9600 8N2. Set up as docs/network.md advises (each
    // character passed on at once: chardelay false, nodelay), or with
    // `serverDefaults` as ser2net is out of the box. Waits until both ports
    // listen; ok() tells whether they do, why() why not.
    explicit Ser2net(const std::string& device, bool serverDefaults = false);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool ok() const {
        return pid_ > 0;
    }
    const std::string& why() const {
        return why_;
    }
    // The port names that reach the device: "tcp://127.0.0.1:N" and
    // "rfc2217://127.0.0.1:M".
    std::string Raw() const;
    std::string Rfc2217() const;
    // Kills ser2net at once (SIGKILL), as a server that crashed, and waits
    // for its end; safe to repeat.
    void Kill();

  private:
    bool Start(const std::string& device, bool serverDefaults);

    TempDir dir_;
    pid_t pid_ = -1;
    int rawPort_ = 0;
    int rfc2217Port_ = 0;
    std::string why_;
};

// A port on 127.0.0.1 that nothing listens on (one just given back).
int UnusedLoopbackPort();
