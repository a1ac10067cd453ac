// Keys from the console's input events: line input, echo and Ctrl-C's
// handling set aside for the session, so every key reads as its character.
#include <windows.h>

#include "host/keyboard.h"

namespace {

HANDLE keysIn = INVALID_HANDLE_VALUE;
DWORD savedMode = 0;
volatile LONG raw = 0;

constexpr int kCtrlBracket = 0x1D;

}  // namespace

bool KeysAreTyped() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

int StartKeyboard() {
    keysIn = GetStdHandle(STD_INPUT_HANDLE);
    if (GetConsoleMode(keysIn, &savedMode) == 0) {
        return -1;
    }
    const DWORD keys = savedMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                       ENABLE_PROCESSED_INPUT);
    if (SetConsoleMode(keysIn, keys) == 0) {
        return -1;
    }
    FlushConsoleInputBuffer(keysIn);
    InterlockedExchange(&raw, 1);
    return 0;
}

void EndKeyboard() {
    if (InterlockedExchange(&raw, 0) != 0) {
        SetConsoleMode(keysIn, savedMode);
    }
}

int ReadKey(int32_t timeoutMs) {
    if (WaitForSingleObject(keysIn, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return -1;
    }
    INPUT_RECORD event{};
    DWORD count = 0;
    if (ReadConsoleInputA(keysIn, &event, 1, &count) == 0) {
        return -2;
    }
    if (count != 1 || event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown) {
        return -1;
    }
    const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
    // Ctrl-] comes as its control character on most consoles, as the bare
    // key with Ctrl held on others.
    const bool ctrl = (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    if (ctrl && key.wVirtualKeyCode == VK_OEM_6) {
        return kCtrlBracket;
    }
    const auto character = static_cast<unsigned char>(key.uChar.AsciiChar);
    return character != 0 ? character : -1;
}
