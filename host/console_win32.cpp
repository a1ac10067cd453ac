#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "host/console.h"
#include "serial/port_name.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

HANDLE ConsoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// True under Wine, whose ntdll exports its version.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

const char* const kBusyPortAdvice = "";

const char* const kComPortAbout =
    "a COM port number: 3 opens COM3, 12 opens //./COM12; or\n"
    "            tcp://HOST:PORT or rfc2217://HOST:PORT for a network serial\n"
    "            server; //./COM10 when left out\n";

const int kFailedStatusShown = -1;

void WriteStandardErrorNow(const char* text, std::size_t length) {
    _write(2, text, static_cast<unsigned>(length));
}

bool StreamIsTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return _isatty(_fileno(stream)) != 0 && GetConsoleMode(ConsoleOf(stream), &mode) != 0;
}

int TerminalSize(std::FILE* stream, int* rows, int* columns) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(ConsoleOf(stream), &info) == 0) {
        return -1;
    }
    const int height = info.srWindow.Bottom - info.srWindow.Top + 1;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (height <= 0 || width <= 0) {
        return -1;
    }
    *rows = height;
    *columns = width;
    return 0;
}

int EnableTerminalControl(std::FILE* stream) {
    // Wine's console takes the mode but prints the sequences as text.
    if (UnderWine()) {
        return -1;
    }
    const HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode) == 0) {
        return -1;
    }
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
        return 0;
    }
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ? 0 : -1;
}

int OpenFailureCause(int32_t error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
            return kOpenFailedNoPort;
        // A COM port is opened for one program at a time: Windows answers
        // "access denied" when another program has it open.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return kOpenFailedBusy;
        default:
            return kOpenFailedOther;
    }
}

int ListSerialPorts(const char* /*devDir*/, char* list, std::size_t size) {
    list[0] = '\0';
    // Every DOS device name the system knows, each terminated, the list
    // ending with an empty name.
    static char names[65536];
    const DWORD length = QueryDosDeviceA(nullptr, names, sizeof names);
    if (length == 0) {
        return 0;
    }
    long numbers[256];
    int count = 0;
    for (const char* name = names; name < names + length && *name != '\0';
         name += std::strlen(name) + 1) {
        const long number = ComNameNumber(name);
        bool seen = false;
        for (int i = 0; i < count; ++i) {
            seen = seen || numbers[i] == number;
        }
        if (number >= 0 && !seen && count < 256) {
            numbers[count++] = number;
        }
    }
    std::qsort(numbers, static_cast<std::size_t>(count), sizeof numbers[0],
               [](const void* a, const void* b) {
                   const long left = *static_cast<const long*>(a);
                   const long right = *static_cast<const long*>(b);
                   return left < right ? -1 : (left > right ? 1 : 0);
               });
    std::size_t used = 0;
    for (int i = 0; i < count; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "  COM%ld (give %ld)\n", numbers[i], numbers[i]);
        const std::size_t lineLength = std::strlen(line);
        if (used + lineLength < size) {
            std::memcpy(list + used, line, lineLength + 1);
            used += lineLength;
        }
    }
    return count;
}
