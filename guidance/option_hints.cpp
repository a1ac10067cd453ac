#include "guidance/option_hints.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "guidance/guidance.h"
#include "guidance/hints.h"

namespace {

// A program's own options. --load-address and --run are taken anywhere, as
// the options after the job are; the others only before the file name.
struct ProgramOptions {
    const char* program;
    const char* named;      // as the hint names them
    const char* withValue;  // those read only before the file name, each between spaces
};

constexpr ProgramOptions kOptions[] = {
    {"Torvanex", "--retry N, --from-line N and --load-address HHHH", " --retry --from-line "},
    {"Torvane", "--retry N, --from-line N and --load-address HHHH", " --retry --from-line "},
    {"Quilmark", "--verify (first) and --load-address HHHH", " "},
    {"Ferrolt", "--run", " "},
};

// The options after the job, which every program takes anywhere.
constexpr const char* kAfterJobOptions = "--send TEXT, --expect TEXT, --timeout S and --terminal";

const ProgramOptions* OptionsOf(const char* program) {
    for (const ProgramOptions& options : kOptions) {
        if (std::strcmp(options.program, program) == 0) {
            return &options;
        }
    }
    return nullptr;
}

// True when `option` is one of `options`' that take a value.
bool TakesValue(const ProgramOptions& options, const char* option) {
    char word[64];
    const int n = std::snprintf(word, sizeof word, " %s ", option);
    return n > 0 && static_cast<std::size_t>(n) < sizeof word &&
           std::strstr(options.withValue, word) != nullptr;
}

}  // namespace

bool ReadsAsOption(const char* argument) {
    return argument[0] == '-' &&
           (argument[1] == '-' || std::isalpha(static_cast<unsigned char>(argument[1])) != 0);
}

int OptionAfterFile(int argc, char* const argv[], int at) {
    for (int i = at + 1; i < argc; ++i) {
        if (ReadsAsOption(argv[i])) {
            return i;
        }
    }
    return 0;
}

void FormatOptionAfterFile(char* text, std::size_t size, const char* program, int argc,
                           char* const argv[], int at, int option) {
    std::size_t length = 0;
    const auto add = [&](const char* format, const char* word) {
        const int n = std::snprintf(text + length, size - length, format, word);
        length = n < 0 ? length : std::min(size - 1, length + static_cast<std::size_t>(n));
    };
    text[0] = '\0';
    add("Hint: options go before the file name, so '%s'", argv[option]);
    add(" after '%s' was not read as one.", argv[at]);
    const ProgramOptions* options = OptionsOf(program);
    if (options == nullptr || !TakesValue(*options, argv[option])) {
        add(" For the options %s takes, run: ", program);
        add("%s --help\n", program);
        return;
    }
    // The same words, the option and its value moved before the file name.
    const int valueEnd = std::min(argc, option + 2);
    add(" In this order: %s", program);
    for (int i = 1; i < at; ++i) {
        add(" %s", argv[i]);
    }
    for (int i = option; i < valueEnd; ++i) {
        add(" %s", argv[i]);
    }
    for (int i = at; i < argc; ++i) {
        if (i < option || i >= valueEnd) {
            add(" %s", argv[i]);
        }
    }
    add("\n", "");
}

bool HintOptionAfterFile(const char* program, int argc, char* const argv[], int at) {
    const int option = OptionAfterFile(argc, argv, at);
    if (option == 0) {
        return false;
    }
    static char text[2048];
    FormatOptionAfterFile(text, sizeof text, program, argc, argv, at, option);
    WriteGuidance(text);
    return true;
}

void HintOptionLike(const char* program, const char* argument) {
    if (!LooksLikeOption(argument)) {
        return;
    }
    static char text[1024];
    const ProgramOptions* options = OptionsOf(program);
    std::snprintf(text, sizeof text,
                  "Hint: '%s' is not an option of %s, whose options are %s, and after the job "
                  "%s; for how to use it, run: %s --help\n",
                  argument, program, options != nullptr ? options->named : "these",
                  kAfterJobOptions, program);
    WriteGuidance(text);
}
