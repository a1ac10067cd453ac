// Helpers for the fuzz targets: the input as a string, and a check that
// stops the run with a message when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A terminated copy of `size` bytes on the heap, exactly as long as needed,
// so a read past its end is caught by AddressSanitizer. Free with delete[].
inline char* CopyAsText(const uint8_t* data, std::size_t size) {
    char* text = new char[size + 1];
    if (size > 0) {
        std::memcpy(text, data, size);
    }
    text[size] = '\0';
    return text;
}

// Stops the run (libFuzzer saves the input) when `holds` is false.
inline void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
