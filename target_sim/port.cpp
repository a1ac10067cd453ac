#include "target_sim/port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int OpenSimPort(SimPort* port) {
    port->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (port->master < 0 || grantpt(port->master) != 0 || unlockpt(port->master) != 0) {
        std::perror("targetsim: pseudo-terminal");
        return -1;
    }
    port->path = ptsname(port->master);
    port->slave = open(port->path.c_str(), O_RDWR | O_NOCTTY);
    if (port->slave < 0) {
        std::perror("targetsim: open port");
        return -1;
    }
    termios raw{};
    tcgetattr(port->slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(port->slave, TCSANOW, &raw);
    fcntl(port->master, F_SETFL, fcntl(port->master, F_GETFL) | O_NONBLOCK);
    return 0;
}

void CloseSimPort(SimPort* port) {
    if (port->slave >= 0) {
        close(port->slave);
    }
    if (port->master >= 0) {
        close(port->master);
    }
    port->slave = port->master = -1;
}

int MakePortLink(const std::string& link, const std::string& port) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr,
                         "targetsim: --link %s: there is a file there, not a link; "
                         "it is left alone\n",
                         link.c_str());
            return -1;
        }
        unlink(link.c_str());
    }
    if (symlink(port.c_str(), link.c_str()) != 0) {
        std::perror(("targetsim: --link " + link).c_str());
        return -1;
    }
    return 0;
}

void RemovePortLink(const std::string& link, const std::string& port) {
    char target[256];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length >= 0 &&
        port.compare(0, std::string::npos, target, static_cast<std::size_t>(length)) == 0) {
        unlink(link.c_str());
    }
}

std::string LineSettings(int slave) {
    termios settings{};
    if (tcgetattr(slave, &settings) != 0) {
        return "unknown";
    }
    speed_t speed = cfgetospeed(&settings);
    const char* baud = speed == B9600    ? "9600"
                       : speed == B19200 ? "19200"
                       : speed == B4800  ? "4800"
                       : speed == B38400 ? "38400"
                                         : "other";
    int bits = (settings.c_cflag & CSIZE) == CS8 ? 8 : (settings.c_cflag & CSIZE) == CS7 ? 7 : 0;
    const bool raw = (settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 &&
                     (settings.c_oflag & OPOST) == 0 &&
                     (settings.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP)) == 0;
    std::string out = std::string("speed=") + baud + " data=" + std::to_string(bits) +
                      " stop=" + ((settings.c_cflag & CSTOPB) ? "2" : "1") +
                      " parity=" + ((settings.c_cflag & PARENB) ? "yes" : "none") +
                      " raw=" + (raw ? "yes" : "no");
    return out;
}
