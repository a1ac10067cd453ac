// Win32 backend of the serial link: the port is a communications handle,
// configured through its DCB, and read one byte at a time against a deadline
// on the runtime's millisecond clock().
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "serial/answer_timing.h"
#include "serial/port_name.h"
#include "serial/port_ops.h"
#include "serial/serial_link.h"

// The deadlines below add milliseconds straight to clock() values.
static_assert(CLOCKS_PER_SEC == 1000, "clock() must count milliseconds");

// Port names on Windows: every argument is a COM number, and a COM name is
// opened as it stands.
const bool kPortArgumentMayBeDevicePath = false;
const char* const kComDevicePrefix = nullptr;

namespace {

// The port a wait found removed; the programs hold one port at a time.
ComPort gonePort = kInvalidComPort;

HANDLE AsHandle(ComPort port) {
    return static_cast<HANDLE>(port);
}

// Asks Windows for 1 ms scheduler ticks while this program runs (it drops
// the request when the program exits). Without it a Sleep ends on a tick
// 15.6 ms apart, which would stretch a 2 ms pause eightfold.
void AskForFineTicks() {
    static const bool asked = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)asked;
}

// Sets the timeouts every read and write on `handle` relies on: a read returns
// at once with what is already buffered (possibly nothing), so the waiting is
// done by WaitForComByte's own deadline; a write gives up after 5 seconds.
// Returns nothing: a port that refuses them still opens, as it always has.
void ConfigureComTimeouts(HANDLE handle) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 5000;
    SetCommTimeouts(handle, &timeouts);
}

ComPort OpenDevice(const char* name, int32_t baud, int32_t* comError) {
    HANDLE handle =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (comError != nullptr) {
            *comError = static_cast<int32_t>(GetLastError());
        }
        return kInvalidComPort;
    }
    // Only the line format and DTR are ours to decide; flow control and the
    // rest stay as the driver has them. Once the port is known to be a serial
    // device the results are not acted on: a driver that refuses part of this
    // still carries the upload, and the target's silence then tells the user
    // more than an error code would.
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(handle, &settings)) {
        // Not a serial device at all (a file, or a device the name leads to
        // that has no line): an upload would vanish into it unanswered.
        const DWORD error = GetLastError();
        CloseHandle(handle);
        if (comError != nullptr) {
            *comError = static_cast<int32_t>(error);
        }
        return kInvalidComPort;
    }
    settings.BaudRate = static_cast<DWORD>(baud);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = TWOSTOPBITS;
    // Many boards reset on DTR.
    settings.fDtrControl = DTR_CONTROL_DISABLE;
    SetCommState(handle, &settings);
    ConfigureComTimeouts(handle);
    if (comError != nullptr) {
        *comError = 0;
    }
    return handle;
}

unsigned char WaitForDeviceByte(ComPort port, int32_t timeoutMs) {
    if (timeoutMs <= 0 || port == gonePort) {
        return 0;
    }
    // ReadFile never waits (see ConfigureComTimeouts), so this is a busy
    // poll: a byte is taken the moment it arrives, at the cost of one
    // processor while the target is silent.
    const clock_t deadline = clock() + static_cast<clock_t>(timeoutMs);
    bool waited = false;
    for (;;) {
        // The time is taken before the read: silence is reported only once a
        // read begun at or after the deadline found nothing. A program kept
        // off the processor across the deadline (or inside a slow read)
        // still takes the byte that came in time.
        const bool lastRead = clock() >= deadline;
        unsigned char cell = 0;
        DWORD got = 0;
        if (ReadFile(AsHandle(port), &cell, 1, &got, nullptr)) {
            if (got != 0) {
                if (cell != 0) {
                    NoteByteRead(SteadyNowUs(), waited);
                }
                return cell;
            }
            if (lastRead) {
                return 0;
            }
            waited = true;
            continue;
        }
        // A line error (framing, parity, overrun) aborts reads until it is
        // cleared; it is noise on a live line. Any other failure means the
        // device is gone (a USB adapter pulled out fails every read), and
        // polling it until the deadline would only hide that.
        if (GetLastError() == ERROR_OPERATION_ABORTED) {
            DWORD errors = 0;
            ClearCommError(AsHandle(port), &errors, nullptr);
            if (lastRead) {
                return 0;
            }
            continue;
        }
        gonePort = port;
        return 0;
    }
}

bool DeviceGone(ComPort port) {
    return port != kInvalidComPort && port == gonePort;
}

void WriteDeviceBytes(ComPort port, const void* bytes, std::size_t count) {
    NoteBytesWritten(SteadyNowUs(), count);
    // One write; the result and the count written are not acted on, as the
    // interface says (the write timeout bounds it to 5 seconds).
    DWORD written = 0;
    WriteFile(AsHandle(port), bytes, static_cast<DWORD>(count), &written, nullptr);
}

void FlushDeviceInput(ComPort port) {
    // As tcflush does on POSIX: the driver's receive buffer is emptied
    // without reading it. The Windows programs drain the line instead
    // (DrainComInput), which also waits for the target to finish talking.
    PurgeComm(AsHandle(port), PURGE_RXCLEAR);
}

void CloseDevice(ComPort port) {
    if (port == gonePort) {
        gonePort = kInvalidComPort;
    }
    CloseHandle(AsHandle(port));
}

void AbandonDevice(ComPort) {
    // The share mode of 0 that makes the claim ends with the handle, which
    // the system closes as the program ends.
}

}  // namespace

const PortOps kDevicePortOps = {OpenDevice,       WaitForDeviceByte, DeviceGone,   WriteDeviceBytes,
                                FlushDeviceInput, CloseDevice,       AbandonDevice};
const int32_t kTooManyPortsError = ERROR_TOO_MANY_OPEN_FILES;

void AskForFineTiming() {
    AskForFineTicks();
}

void PauseMs(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    // A Sleep can end on the tick before its time is up; the pause runs to
    // a deadline on the performance counter instead, so it is never short.
    AskForFineTicks();
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const LONGLONG deadline =
        now.QuadPart + (static_cast<LONGLONG>(ms) * frequency.QuadPart + 999) / 1000;
    for (;;) {
        QueryPerformanceCounter(&now);
        const LONGLONG left = deadline - now.QuadPart;
        if (left <= 0) {
            return;
        }
        // Whole milliseconds, rounded up.
        Sleep(static_cast<DWORD>((left * 1000 + frequency.QuadPart - 1) / frequency.QuadPart));
    }
}
