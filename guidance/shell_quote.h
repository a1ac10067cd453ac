// Words quoted for a shell, so a command printed for people to paste runs as
// printed: a name with spaces, quotes or other shell characters stays one word.
#pragma once

#include <cstddef>

// `word` into `out` (`size` bytes, terminated; cut when full) as a POSIX
// shell takes it: as it is when every character is safe, else in single
// quotes with each ' as '\''. Returns the length written.
std::size_t QuotePosixWord(const char* word, char* out, std::size_t size);

// `word` into `out` as cmd.exe and PowerShell take it: as it is when every
// character is safe, else in double quotes (a Windows file name holds no ").
// Returns the length written.
std::size_t QuoteWindowsWord(const char* word, char* out, std::size_t size);

// QuotePosixWord, or QuoteWindowsWord on Windows: as this host's shell takes it.
std::size_t QuoteForHostShell(const char* word, char* out, std::size_t size);
