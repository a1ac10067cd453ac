// Keys from standard input's terminal, its line discipline set aside for
// the session: no echo, no line editing, no signals from keys, no CR to LF.
// Output processing stays, so what the programs print still ends its lines.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "host/keyboard.h"

namespace {

struct termios saved {};
volatile sig_atomic_t raw = 0;

}  // namespace

bool KeysAreTyped() {
    return isatty(STDIN_FILENO) == 1;
}

int StartKeyboard() {
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return -1;
    }
    struct termios keys = saved;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0) {
        return -1;
    }
    raw = 1;
    return 0;
}

void EndKeyboard() {
    // tcsetattr is async-signal-safe, so a stop's handler may call this.
    if (raw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        raw = 0;
    }
}

int ReadKey(int32_t timeoutMs) {
    struct pollfd keys = {STDIN_FILENO, POLLIN, 0};
    if (poll(&keys, 1, timeoutMs) <= 0) {
        return -1;
    }
    unsigned char key = 0;
    const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (got == 0 || (got < 0 && (keys.revents & (POLLHUP | POLLERR)) != 0)) {
        return -2;
    }
    return got == 1 ? key : -1;
}
