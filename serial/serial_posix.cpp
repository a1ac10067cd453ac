// POSIX backend of the serial link: termios, poll() against a monotonic
// deadline, so a silent target costs no processor time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#ifdef __linux__
#include <linux/serial.h>
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "serial/answer_timing.h"
#include "serial/port_name.h"
#include "serial/port_ops.h"
#include "serial/serial_link.h"
#include "serial/stop_signals_posix.h"

// Port names on POSIX hosts: a path given is used as it stands; COMn is
// the n-th serial port, /dev/ttyS{n-1}.
const bool kPortArgumentMayBeDevicePath = true;
const char* const kComDevicePrefix = "/dev/ttyS";

namespace {

// The termios code for `baud`, or B0 for a rate this backend does not set.
speed_t SpeedCode(int32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

// The port a wait found hung up; the programs hold one port at a time.
ComPort gonePort = kInvalidComPort;

// Deadlines are kept in nanoseconds of the monotonic clock: whole
// milliseconds would end a wait up to 1 ms early or late.
int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

timespec AsTimespec(int64_t ns) {
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

// The kernel may defer a sleeping process's timer wake-up by its timer slack
// (50 us by default) to batch wake-ups; over thousands of pauses and waits
// that adds up to whole percent of a run, so the programs ask for none.
#ifdef __linux__
void AskForNoTimerSlack() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // 1 ns, the least it takes
}
#else
void AskForNoTimerSlack() {}
#endif

// A USB adapter holds received bytes back for its latency timer (16 ms on
// FTDI's by default), which every answer waits out; low latency makes the
// FTDI driver set it to 1 ms. Pseudo-terminals and many drivers refuse.
#ifdef __linux__
void AskForLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &serial);
    }
}
#else
void AskForLowLatency(int) {}
#endif

// Closes `fd` without disturbing the errno of the failure being reported.
ComPort FailOpen(int fd, int32_t* comError) {
    int saved = errno;
    if (fd >= 0) {
        close(fd);
    }
    errno = saved;
    if (comError != nullptr) {
        *comError = saved;
    }
    return kInvalidComPort;
}

ComPort OpenDevice(const char* name, int32_t baud, int32_t* comError) {
    // A rate the line cannot be set to would leave it at another one, and
    // the target would hear noise.
    const speed_t speed = SpeedCode(baud);
    if (speed == B0) {
        errno = EINVAL;
        return FailOpen(-1, comError);
    }
    char path[256];
    if (ComDevicePath(name, path, sizeof path) != 0) {
        errno = ENOENT;
        return FailOpen(-1, comError);
    }
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return FailOpen(fd, comError);
    }
    // A file that is not a terminal would "open" and then swallow the upload.
    if (!isatty(fd)) {
        return FailOpen(fd, comError);
    }
    // Exclusive use: TIOCEXCL stops other opens of the device (except by root),
    // the lock stops any other program of this suite, root or not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errno = EBUSY;
        return FailOpen(fd, comError);
    }
    ioctl(fd, TIOCEXCL);

    // Settings are built from nothing, not edited, so no earlier user's
    // flags (echo, CR/LF mapping, flow control) survive.
    termios settings{};
    settings.c_cflag = CS8 | CSTOPB | CREAD | CLOCAL;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    tcflush(fd, TCIFLUSH);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        return FailOpen(fd, comError);
    }
    // Many boards reset on DTR; devices without modem lines refuse this,
    // which is harmless.
    int dtr = TIOCM_DTR;
    ioctl(fd, TIOCMBIC, &dtr);
    AskForLowLatency(fd);
    if (fd == gonePort) {
        gonePort = kInvalidComPort;  // a number reused from a port closed otherwise
    }
    if (comError != nullptr) {
        *comError = 0;
    }
    return fd;
}

// Waits as WaitForComByte, with the stop signals held back (see
// WaitForDeviceByte) except inside ppoll, which sleeps with `sleeping`.
unsigned char AwaitDeviceByte(ComPort port, int32_t timeoutMs, const sigset_t* sleeping) {
    const int64_t deadline = NowNs() + static_cast<int64_t>(timeoutMs) * 1000000;
    bool waited = false;
    for (;;) {
        // The time is taken before the read: silence is reported only once a
        // read begun at or after the deadline found nothing, so a program
        // kept off the processor across the deadline still takes the byte
        // that came in time.
        const int64_t before = NowNs();
        unsigned char cell = 0;
        ssize_t got = read(port, &cell, 1);
        if (got == 1) {
            if (cell != 0) {
                NoteByteRead(SteadyNowUs(), waited);
            }
            return cell;
        }
        // With VMIN and VTIME at 0 an empty line reads as 0 bytes, so only
        // an error tells a dead port here (EIO once the other end closed).
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            gonePort = port;
            return 0;
        }
        if (before >= deadline) {
            return 0;
        }
        const int64_t left = std::max<int64_t>(0, deadline - NowNs());
        // Sleeps until a byte comes or the deadline passes, whichever is first.
        pollfd waiting{port, POLLIN, 0};
        const timespec timeout = AsTimespec(left);
        int ready = ppoll(&waiting, 1, &timeout, sleeping);
        if (ready < 0 && errno == EINTR) {
            // Only the programs' stop handlers interrupt a wait; they want
            // the run to end now, not after the target's timeout.
            return 0;
        }
        if (ready > 0 && (waiting.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // Hung up: bytes sent just before may still be there, but no more
            // can come, and poll would return at once forever.
            if (read(port, &cell, 1) == 1) {
                return cell;
            }
            gonePort = port;
            return 0;
        }
        waited = true;
    }
}

unsigned char WaitForDeviceByte(ComPort port, int32_t timeoutMs) {
    if (timeoutMs <= 0 || port == gonePort) {
        return 0;
    }
    // A stop signal handled between a read and the sleep after it would go
    // unseen by the sleep, which would run to the deadline. Held back while
    // the wait is awake, it stays pending until ppoll lets it in, and the
    // sleep ends at once.
    sigset_t callers;
    sigset_t sleeping;
    HoldStopSignals(&callers, &sleeping);
    const unsigned char byte = AwaitDeviceByte(port, timeoutMs, &sleeping);
    pthread_sigmask(SIG_SETMASK, &callers, nullptr);
    return byte;
}

bool DeviceGone(ComPort port) {
    return port != kInvalidComPort && port == gonePort;
}

void WriteDeviceBytes(ComPort port, const void* bytes, std::size_t count) {
    NoteBytesWritten(SteadyNowUs(), count);
    // The descriptor is non-blocking: wait for room rather than drop bytes
    // when the driver's buffer is full. Errors end the write unreported.
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        ssize_t sent = write(port, next, count);
        if (sent > 0) {
            next += sent;
            count -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd waiting{port, POLLOUT, 0};
            if (poll(&waiting, 1, 5000) > 0 && (waiting.revents & POLLOUT) != 0) {
                continue;
            }
        }
        return;
    }
}

void FlushDeviceInput(ComPort port) {
    tcflush(port, TCIFLUSH);
}

void CloseDevice(ComPort port) {
    if (port == gonePort) {
        gonePort = kInvalidComPort;
    }
    // The exclusive claim belongs to the device, not to this descriptor: a
    // device someone else keeps open (a bridge, the simulated target) would
    // stay refused to every later program but root's.
    ioctl(port, TIOCNXCL);
    close(port);
}

void AbandonDevice(ComPort port) {
    if (port != kInvalidComPort) {
        ioctl(port, TIOCNXCL);
    }
}

}  // namespace

const PortOps kDevicePortOps = {OpenDevice,       WaitForDeviceByte, DeviceGone,   WriteDeviceBytes,
                                FlushDeviceInput, CloseDevice,       AbandonDevice};
const int32_t kTooManyPortsError = EMFILE;

void AskForFineTiming() {
    AskForNoTimerSlack();
}

void PauseMs(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    // Sleeps to a deadline fixed before the first sleep, so a signal that
    // interrupts it neither shortens the pause nor adds to it.
    const timespec until = AsTimespec(NowNs() + static_cast<int64_t>(ms) * 1000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
