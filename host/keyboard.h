// The console handed to the board: keys read one at a time as they are
// typed, without echo or line editing, and the console's own settings put
// back however the program ends.
#pragma once

#include <cstdint>

// True when standard input is a terminal (a console) keys can be read from.
bool KeysAreTyped();

// Puts standard input's terminal in raw mode: no echo, no line editing, and
// keys such as Ctrl-C read as bytes. Returns 0, or -1 with nothing changed.
int StartKeyboard();

// Puts the terminal's own settings back; safe to repeat, without
// StartKeyboard, and from a signal handler.
void EndKeyboard();

// Waits up to `timeoutMs` for a key: returns its byte (Enter as CR), -1 when
// none came, -2 once input has ended.
int ReadKey(int32_t timeoutMs);
