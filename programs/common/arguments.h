// Command-line arguments copied into the programs' fixed buffers: each is
// checked to fit before anything is copied, and refused with a message.
#pragma once

#include <cstddef>

// Returns 0 when the file name `text` fits a buffer of `size` bytes (with its
// terminator); otherwise prints "\n ERROR! File name too long (at most N
// characters)" and returns -1. Nothing is copied.
int CheckFileNameFits(const char* text, std::size_t size);

// Builds the port name for the argument `text` into `portName` (`size`
// bytes) with BuildComPortName. Returns 0, or -1 after printing
// "\n ERROR! Port '<text>' does not fit a port name (at most N characters)",
// N being 11 for a COM number (kComNumberNameSize) and size - 1 for a path;
// `portName` is then unchanged.
int TakePortArgument(const char* text, char* portName, std::size_t size);
