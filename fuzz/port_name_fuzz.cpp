// Port names: whatever the port argument, the name built and the device path
// fit the buffer given (never one byte past it), or the call refuses; a
// refused port name leaves the program's name as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "serial/serial_link.h"

namespace {

// Runs `build` into a heap buffer of exactly `size` bytes filled with a mark.
template <typename Build>
void CheckFits(Build build, const char* text, std::size_t size, bool keptWhenRefused) {
    char* out = new char[size > 0 ? size : 1];
    std::memset(out, '#', size > 0 ? size : 1);
    if (build(text, out, size) == 0) {
        Require(size > 0 && std::memchr(out, '\0', size) != nullptr, "a name is terminated");
    } else if (keptWhenRefused) {
        for (std::size_t i = 0; i < size; ++i) {
            Require(out[i] == '#', "a refused name leaves the buffer alone");
        }
    }
    delete[] out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The first byte picks the buffer size; the rest is the argument.
    const std::size_t bufferSize = size > 0 ? data[0] % 96 : kComPortNameSize;
    char* text = CopyAsText(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    CheckFits(BuildComPortName, text, bufferSize, true);
    CheckFits(BuildComPortName, text, kComPortNameSize, true);
    CheckFits(ComDevicePath, text, bufferSize, false);
    delete[] text;
    return 0;
}
