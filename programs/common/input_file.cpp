#include "programs/common/input_file.h"

void AddToDigest(uint64_t* digest, const char* text, std::size_t length) {
    constexpr uint64_t kPrime = 1099511628211ULL;
    uint64_t value = *digest;
    for (std::size_t i = 0; i < length; ++i) {
        value = (value ^ static_cast<unsigned char>(text[i])) * kPrime;
    }
    for (std::size_t shift = 0; shift < 64; shift += 8) {
        value = (value ^ ((static_cast<uint64_t>(length) >> shift) & 0xFF)) * kPrime;
    }
    *digest = value;
}

std::FILE* RefuseFile(const char* name, const char* what) {
    if (what != nullptr) {
        std::printf("ERROR: Cannot Open File '%s': is %s, not a file\n", name, what);
    } else {
        std::printf("ERROR: Cannot Open File '%s'\n", name);
    }
    return nullptr;
}
