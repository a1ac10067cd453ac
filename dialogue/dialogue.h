// The opening of every conversation with the target's monitor: the prompt
// wait and the drain.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/serial_link.h"

// Collects bytes from the target into `dataBuf` until `pattern` appears
// anywhere in what was collected, or until `capacity` bytes were collected
// (taken as success too: a chatty monitor still gets its upload).
// First clears the first `capacity` bytes of `dataBuf`; `bufSize` must be
// larger than `capacity` so the text collected stays terminated (a larger
// capacity is cut to bufSize - 1). Each byte is awaited `perByteTimeoutMs`
// milliseconds; the last byte stored is left in *inByte.
// Returns 0 on success, -1 when the target fell silent (a 0 from
// WaitForComByte); the bytes collected so far stay in `dataBuf`.
int WaitForPrompt(ComPort port, char* dataBuf, std::size_t bufSize, const char* pattern,
                  int32_t perByteTimeoutMs, std::size_t capacity, char* inByte);

// Reads and throws away bytes until one wait of `timeoutMs` milliseconds
// passes with nothing received.
void DrainComInput(ComPort port, int32_t timeoutMs);
