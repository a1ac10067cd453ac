#include "bench/floors.h"

#include <cstdio>

#include "dialogue/pace.h"
#include "programs/ferrolt/pace.h"
#include "programs/quilmark/pace.h"
#include "programs/torvane/pace.h"
#include "programs/torvanex/pace.h"

namespace {

constexpr double kCharMs = kLineCharMs;  // one character on the wire

// The simulated target's fixed answers: a record's verdict "*", ">" to ";",
// "=" then 34 digits and CR LF to a dump address, CR LF to a CR typed into
// BASIC.
constexpr int kVerdictChars = 1;
constexpr int kDumpOpenAnswerChars = 1;
constexpr int kDumpAnswerChars = 1 + 34 + 2;
constexpr int kBasicCrAnswerChars = 2;

// Returns the 1-based position of the last character of `pattern`'s first
// appearance in `text`, or 0.
int EndOf(const std::string& text, const std::string& pattern) {
    const std::size_t at = text.find(pattern);
    return at == std::string::npos ? 0 : static_cast<int>(at + pattern.size());
}

// What the simulated target answers, character for character: the answer
// to "@" up to the end of "$$$" (p) and whole (A), and its fixed answers.
TargetAnswers SimAnswers() {
    TargetAnswers answers{};
    answers.promptEnd = EndOf(kPrompt, "$$$");
    answers.prompt = static_cast<int>(kPrompt.size());
    answers.verdict = kVerdictChars;
    answers.dumpOpen = kDumpOpenAnswerChars;
    answers.dump = kDumpAnswerChars;
    answers.basicBanner = static_cast<int>(kBasicBanner.size());
    answers.basicReady = static_cast<int>(kBasicReady.size());
    answers.lineEnd = kBasicCrAnswerChars;
    return answers;
}

// The uploads' work: the records of the workload up to the end record.
UploadWork LoadWork(const Workload& workload) {
    UploadWork work{0, 0, 0};
    for (int n : RecordCharCounts(workload.hexText)) {
        ++work.records;
        work.dataBytes += (n - 10) / 2;
        work.sentChars += n;
    }
    return work;
}

// The typing's work: every line of the BASIC program is one piece.
TypingWork BasicWork(const Workload& workload) {
    int echoed = 0;
    int silent = 0;
    CountEchoed(workload.basicText, &echoed, &silent);
    return TypingWork{kBasicLines, kBasicLines, echoed, silent};
}

constexpr DumpWork kDumpWork{kLoadBytes / kRecordBytes};

}  // namespace

bool IsBenchProgram(const std::string& program) {
    return program == "Torvanex" || program == "Torvane" || program == "Quilmark" ||
           program == "Verify" || program == "Ferrolt";
}

double FloorOf(const std::string& program, const Workload& workload) {
    if (program == "Torvanex") {
        return TorvanexMs(LoadWork(workload), SimAnswers());
    }
    if (program == "Torvane") {
        return TorvaneMs(LoadWork(workload), SimAnswers());
    }
    if (program == "Quilmark") {
        return QuilmarkMs(kDumpWork, SimAnswers());
    }
    if (program == "Verify") {
        return QuilmarkVerifyMs(kDumpWork, SimAnswers());
    }
    return FerroltMs(BasicWork(workload), SimAnswers());
}

// Torvanex's verdicts come within the 3 ms pause after each record's last
// character and the other handshakes within their long first pauses, leaving
// its one prompt; Torvane waits for each verdict, Quilmark (and its verify)
// for two answers per request, Ferrolt for every echo and for the answer to
// every line's CR.
int RoundTripsOf(const std::string& program, const Workload& workload) {
    if (program == "Torvanex") {
        return 1;
    }
    if (program == "Torvane") {
        return static_cast<int>(RecordCharCounts(workload.hexText).size());
    }
    if (program == "Quilmark" || program == "Verify") {
        return 2 * static_cast<int>(kLoadBytes / kRecordBytes);
    }
    int echoed = 0;
    int silent = 0;
    CountEchoed(workload.basicText, &echoed, &silent);
    return echoed + kBasicLines;
}

void PrintFormulas(const Workload& workload) {
    const auto counts = RecordCharCounts(workload.hexText);
    const int records = static_cast<int>(counts.size());
    const int n = counts.empty() ? 0 : counts.front();
    int echoed = 0;
    int silent = 0;
    CountEchoed(workload.basicText, &echoed, &silent);
    std::printf(
        "Floors (C = 11 bits / 9600 baud = %.4f ms per character; R = %d records of n = "
        "%d characters after the colon;\n",
        kCharMs, records, n);
    std::printf(
        "        p = %d: the prompt's \"$$$\" ends at its p-th character; A = %zu, the "
        "prompt's length):\n",
        EndOf(kPrompt, "$$$"), kPrompt.size());
    // The pauses in the formulas are the programs' own (programs/*/pace.h).
    std::printf(
        "  Torvanex  max(%d, (1+p)C) + %d + R(%d + %d(n-1) + max(%d, 2C) + %d)"
        "                = %.1f ms\n",
        kTorvanexWakePauseMs, kTorvanexReadyPauseMs, kTorvanexColonPauseMs, kTorvanexCharPauseMs,
        kTorvanexCharPauseMs, kTorvanexAcceptedPauseMs, FloorOf("Torvanex", workload));
    std::printf(
        "  Torvane   max(%d, (1+A)C) + %d + R(%d + (n+1)C + %d + %d) + %d"
        "                 = %.1f ms\n",
        kTorvaneWakePauseMs, kTorvaneQuietMs, kTorvaneColonPauseMs, kTorvaneQuietMs,
        kTorvaneAcceptedPauseMs, kTorvaneClosePauseMs, FloorOf("Torvane", workload));
    std::printf(
        "  Quilmark  max(%d, (1+A)C) + %d + Q((1+1)C + (%d+%d)C + %d) + %d, Q = %u"
        "       = %.1f ms\n",
        kQuilmarkWakePauseMs, kQuilmarkQuietMs, kQuilmarkRequestChars, kDumpAnswerChars,
        kQuilmarkQuietMs, kQuilmarkQuietMs, kLoadBytes / kRecordBytes,
        FloorOf("Quilmark", workload));
    std::printf(
        "  Verify    max(%d, (1+A)C) + %d + Q((1+1)C + (%d+%d)C + %d), Q = %u"
        "            = %.1f ms\n",
        kQuilmarkWakePauseMs, kQuilmarkQuietMs, kQuilmarkRequestChars, kDumpAnswerChars,
        kQuilmarkQuietMs, kLoadBytes / kRecordBytes, FloorOf("Verify", workload));
    std::printf(
        "  Ferrolt   sum over the 3 prompts of max(%d, (1+A_i)C) + %d, A_i = %zu, %zu, %zu;\n"
        "            + E(2C + %d) + U %d + L((1+%d)C + %d) + %d, E = %d echoed, U = %d"
        " not echoed, L = %d lines = %.1f ms\n",
        kFerroltPromptPauseMs, kFerroltSettleQuietMs, kPrompt.size(), kBasicBanner.size(),
        kBasicReady.size(), kFerroltCharPauseMs, kFerroltCharPauseMs, kBasicCrAnswerChars,
        kFerroltLineQuietMs, kFerroltClosePauseMs, echoed, silent, kBasicLines,
        FloorOf("Ferrolt", workload));
}
