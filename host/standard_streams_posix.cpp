#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "host/standard_streams.h"

void SettleStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        // open takes the lowest free number: `fd`, those below being open by now.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
    signal(SIGPIPE, SIG_IGN);
}
