#include "guidance/empty_work.h"

#include <cstdio>

#include "guidance/guidance.h"

namespace {

void Say(const char* format, const char* file) {
    static char text[4096];
    std::snprintf(text, sizeof text, format, file);
    WriteGuidance(text);
}

}  // namespace

void NoteNothingSent(const char* file) {
    Say("'%s' holds no records: none was sent, and nothing was loaded.\n", file);
}

void NoteNothingCompared(const char* file) {
    Say("'%s' holds no data bytes: nothing was compared.\n", file);
}

void NoteNothingSaved() {
    WriteGuidance(
        "Nothing was saved: the start address is not below the end address, so the file holds "
        "only the end record.\n");
}

void NoteNothingTyped(const char* file) {
    Say("'%s' holds no program text: nothing was typed, and nothing was loaded (BASIC was "
        "started all the same).\n",
        file);
}
