#include "input_file/input_file.h"

std::FILE* RefuseFile(const char* name, const char* what) {
    if (what != nullptr) {
        std::printf("ERROR: Cannot Open File '%s': is %s, not a file\n", name, what);
    } else {
        std::printf("ERROR: Cannot Open File '%s'\n", name);
    }
    return nullptr;
}
