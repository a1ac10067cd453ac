#include "guidance/guidance.h"

#include <chrono>
#include <cstring>

#include "guidance/link_hints.h"
#include "hexrec/hexrec.h"
#include "host/console.h"

namespace {

using Clock = std::chrono::steady_clock;

// How the progress line is shown.
constexpr int kNotShown = 0;
constexpr int kInPlace = 1;    // redrawn with carriage returns
constexpr int kBottomRow = 2;  // on the bottom row, below a scroll region

Clock::time_point runStart = Clock::now();
Clock::time_point progressStart;
Clock::time_point lastDraw;
int progressMode = kNotShown;
bool progressStarted = false;  // the run reached its first record
long progressTotal = 0;
const char* progressUnit = "";
long progressEstimateMs = 0;
long progressDone = 0;
int terminalRows = 0;
std::size_t drawnLength = 0;  // of the line now shown in place
// What AbandonProgress writes: made ready when the line is first shown.
char abandonText[64];
volatile std::size_t abandonLength = 0;

// "s" after a count other than 1, for the noun's plural.
const char* S(long count) {
    return count == 1 ? "" : "s";
}

struct Note {
    long line;
    unsigned long address;
    char verdict;
    int count;
};
Note notes[kNotesKept];
int notesKept = 0;
long notesDropped = 0;
bool transcriptLineOpen = false;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void AddNote(long line, unsigned long address, char verdict) {
    if (notesKept > 0 && verdict == '#' && notes[notesKept - 1].verdict == '#' &&
        notes[notesKept - 1].line == line) {
        ++notes[notesKept - 1].count;
        return;
    }
    if (notesKept >= kNotesKept) {
        ++notesDropped;
        return;
    }
    notes[notesKept++] = Note{line, address, verdict, 1};
}

void PrintDroppedNotes() {
    if (notesDropped > 0) {
        std::fprintf(stderr, "  ... and %ld more\n", notesDropped);
    }
}

// The Z80 address as the transcript shows addresses: four hex digits.
void PrintAddress(unsigned long address) {
    std::fprintf(stderr, "%04lX", address & 0xFFFF);
}

void PrintAddressesNotRead() {
    for (int i = 0; i < notesKept; ++i) {
        std::fprintf(stderr, "  address ");
        PrintAddress(notes[i].address);
        std::fprintf(stderr, ": could not be read\n");
    }
    PrintDroppedNotes();
}

void Draw() {
    int columns = 0;
    int rows = 0;
    if (TerminalSize(stderr, &rows, &columns) != 0) {
        columns = 80;
        rows = terminalRows;
    }
    char line[200];
    const long elapsed = RunElapsedMs();
    const long left =
        TimeLeftMs(progressDone, progressTotal, MsSince(progressStart), progressEstimateMs);
    // One column is kept free: a line that fills the row wraps on some terminals.
    const std::size_t length = RenderProgressLine(line, sizeof line, progressDone, progressTotal,
                                                  progressUnit, elapsed, left, columns - 1);
    std::fflush(stdout);
    if (progressMode == kInPlace) {
        // Spaces cover what a longer line before left behind.
        const int cover = drawnLength > length ? static_cast<int>(drawnLength - length) : 0;
        std::fprintf(stderr, "\r%s%*s", line, cover, "");
        if (cover > 0) {
            std::fprintf(stderr, "\r%s", line);
        }
        drawnLength = length;
    } else {
        // A terminal made taller or shorter gets its scroll region anew.
        if (rows != terminalRows && rows >= 3) {
            std::fprintf(stderr, "\0337\033[1;%dr\0338", rows - 1);
            terminalRows = rows;
            abandonLength = 0;
            std::snprintf(abandonText, sizeof abandonText, "\0337\033[%d;1H\033[K\033[r\0338\r\n",
                          rows);
            abandonLength = std::strlen(abandonText);
        }
        std::fprintf(stderr, "\0337\033[%d;1H%s\033[K\0338", terminalRows, line);
    }
    std::fflush(stderr);
    lastDraw = Clock::now();
}

}  // namespace

void FormatDuration(long ms, char* text, std::size_t size) {
    const long seconds = ms > 0 ? (ms + 500) / 1000 : 0;
    if (seconds < 3600) {
        std::snprintf(text, size, "%ld:%02ld", seconds / 60, seconds % 60);
    } else {
        std::snprintf(text, size, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    }
}

long TimeLeftMs(long done, long total, long spentMs, long estimateMs) {
    if (done >= total) {
        return 0;
    }
    if (done <= 0) {
        return estimateMs > 0 ? estimateMs : 0;
    }
    const double left = static_cast<double>(spentMs) * static_cast<double>(total - done) /
                        static_cast<double>(done);
    return left > 0 ? static_cast<long>(left + 0.5) : 0;
}

std::size_t RenderProgressLine(char* line, std::size_t size, long done, long total,
                               const char* unit, long elapsedMs, long leftMs, int width) {
    char elapsed[24];
    char left[24];
    FormatDuration(elapsedMs, elapsed, sizeof elapsed);
    FormatDuration(leftMs, left, sizeof left);
    const long percent = total > 0 ? done * 100 / total : 100;
    std::snprintf(line, size, "%ld/%ld %s  %ld%%  %s elapsed  %s left", done, total, unit, percent,
                  elapsed, left);
    std::size_t length = std::strlen(line);
    if (width > 0 && length > static_cast<std::size_t>(width)) {
        length = static_cast<std::size_t>(width);
        line[length] = '\0';
    }
    return length;
}

void NoteTranscriptLineOpen() {
    transcriptLineOpen = true;
}

void StartGuidanceLine() {
    std::fflush(stdout);
    if (transcriptLineOpen) {
        std::fputc('\n', stderr);
        transcriptLineOpen = false;
    }
}

void WriteGuidance(const char* text) {
    int rows = 0;
    int columns = 0;
    if (TerminalSize(stderr, &rows, &columns) != 0) {
        columns = 80;
    }
    static char wrapped[8192];
    WrapText(text, columns - 1, wrapped, sizeof wrapped);
    StartGuidanceLine();
    std::fputs(wrapped, stderr);
    std::fflush(stderr);
}

void AnnounceUpload(const UploadWork& work, double estimateMs) {
    char about[24];
    FormatDuration(static_cast<long>(estimateMs), about, sizeof about);
    StartGuidanceLine();
    std::fprintf(stderr, "%ld record%s, %ld data byte%s, about %s at %d baud\n", work.records,
                 S(work.records), work.dataBytes, S(work.dataBytes), about,
                 static_cast<int>(kLineBaud));
    runStart = Clock::now();
}

void AnnounceDump(const DumpWork& work, uint32_t startAddress, double estimateMs) {
    char about[24];
    FormatDuration(static_cast<long>(estimateMs), about, sizeof about);
    StartGuidanceLine();
    if (work.requests > 0) {
        std::fprintf(stderr, "%ld request%s for %ld bytes (%04X..%04lX), about %s at %d baud\n",
                     work.requests, S(work.requests), work.requests * 16,
                     static_cast<unsigned>(startAddress),
                     (startAddress + work.requests * 16UL - 1) & 0xFFFFFUL, about,
                     static_cast<int>(kLineBaud));
    } else {
        std::fprintf(stderr, "0 requests: the start is not below the end, about %s at %d baud\n",
                     about, static_cast<int>(kLineBaud));
    }
    runStart = Clock::now();
}

void AnnounceVerify(const DumpWork& work, double estimateMs) {
    char about[24];
    FormatDuration(static_cast<long>(estimateMs), about, sizeof about);
    StartGuidanceLine();
    std::fprintf(stderr, "%ld block%s of 16 bytes to read back, about %s at %d baud\n",
                 work.requests, S(work.requests), about, static_cast<int>(kLineBaud));
    runStart = Clock::now();
}

void AnnounceTyping(const TypingWork& work, double estimateMs) {
    char about[24];
    FormatDuration(static_cast<long>(estimateMs), about, sizeof about);
    StartGuidanceLine();
    const long characters = work.echoed + work.unechoed;
    std::fprintf(stderr, "%ld line%s, %ld character%s, about %s at %d baud\n", work.lines,
                 S(work.lines), characters, S(characters), about, static_cast<int>(kLineBaud));
    runStart = Clock::now();
}

const char* const kProgressOffText =
    "Progress is not shown: this console cannot keep a line of its own below the transcript "
    "(with the transcript sent to a file, > run.txt, progress shows in place).\n";

void ProgressStart(long total, const char* unit, double estimateMs) {
    progressTotal = total;
    progressUnit = unit;
    progressEstimateMs = static_cast<long>(estimateMs);
    progressDone = 0;
    progressStart = Clock::now();
    progressMode = kNotShown;
    progressStarted = true;
    if (total <= 0 || !StreamIsTerminal(stderr)) {
        return;
    }
    if (!StreamIsTerminal(stdout)) {
        progressMode = kInPlace;
        drawnLength = 0;
        std::snprintf(abandonText, sizeof abandonText, "\r\n");
        abandonLength = std::strlen(abandonText);
        Draw();
        return;
    }
    int rows = 0, columns = 0;
    if (EnableTerminalControl(stderr) != 0 || TerminalSize(stderr, &rows, &columns) != 0 ||
        rows < 3) {
        WriteGuidance(kProgressOffText);
        return;
    }
    // A new line and back up to the transcript's row: were it the bottom
    // one, the screen scrolls, so it stays inside the region set next.
    std::fflush(stdout);
    std::fprintf(stderr, "\r\n\033[1A\0337\033[1;%dr\0338", rows - 1);
    terminalRows = rows;
    progressMode = kBottomRow;
    std::snprintf(abandonText, sizeof abandonText, "\0337\033[%d;1H\033[K\033[r\0338\r\n", rows);
    abandonLength = std::strlen(abandonText);
    Draw();
}

void ProgressUpdate(long done) {
    progressDone = done;
    if (progressMode == kNotShown) {
        return;
    }
    if (done >= progressTotal || MsSince(lastDraw) >= kProgressRedrawMs) {
        Draw();
    }
}

void ProgressEnd() {
    if (progressMode == kInPlace) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawnLength), "");
    } else if (progressMode == kBottomRow) {
        std::fflush(stdout);
        std::fprintf(stderr, "\0337\033[%d;1H\033[K\033[r\0338", terminalRows);
    }
    std::fflush(stderr);
    progressMode = kNotShown;
    abandonLength = 0;
}

void AbandonProgress() {
    if (abandonLength > 0) {
        WriteStandardErrorNow(abandonText, abandonLength);
    }
}

long RunElapsedMs() {
    return MsSince(runStart);
}

void NoteRecordNotAccepted(long line, unsigned long address, char verdict) {
    AddNote(line, address, verdict);
}

void NoteAddressNotRead(uint32_t address) {
    AddNote(0, address, '!');
}

void NoteEchoMissing(long line) {
    AddNote(line, 0, '#');
}

namespace {

// Ends the progress line and, when the work had started, writes the time
// the run took into `took` (of `size` bytes) and flushes the transcript so
// the summary follows it. Returns false when there is nothing to sum up.
bool BeginSummary(char* took, std::size_t size) {
    ProgressEnd();
    if (!progressStarted) {
        return false;
    }
    HintSlowAnswers();
    FormatDuration(RunElapsedMs(), took, size);
    StartGuidanceLine();
    return true;
}

}  // namespace

void SummarizeUpload(long sent, long total, long accepted, long resent) {
    char took[24];
    if (!BeginSummary(took, sizeof took)) {
        return;
    }
    std::fprintf(stderr, "Summary: %ld of %ld record%s sent in %s: %ld accepted, %ld not accepted",
                 sent, total, S(total), took, accepted, sent - accepted);
    if (resent > 0) {
        std::fprintf(stderr, ", %ld resent", resent);
    }
    std::fputc('\n', stderr);
    for (int i = 0; i < notesKept; ++i) {
        std::fprintf(stderr, "  line %ld, load address ", notes[i].line);
        PrintAddress(notes[i].address);
        if (notes[i].verdict == '\0') {
            std::fprintf(stderr, ": no verdict\n");
        } else {
            std::fprintf(stderr, ": refused (%c)\n", notes[i].verdict);
        }
    }
    PrintDroppedNotes();
}

void SummarizeDump(long saved, long total) {
    char took[24];
    if (!BeginSummary(took, sizeof took)) {
        return;
    }
    std::fprintf(stderr, "Summary: %ld of %ld record%s saved (%ld bytes) in %s\n", saved, total,
                 S(total), saved * 16, took);
    PrintAddressesNotRead();
}

void SummarizeVerify(long read, long total) {
    char took[24];
    if (!BeginSummary(took, sizeof took)) {
        return;
    }
    std::fprintf(stderr, "Summary: %ld of %ld block%s read back in %s\n", read, total, S(total),
                 took);
    PrintAddressesNotRead();
}

void SummarizeTyping(long linesTyped, long lines, long charsTyped) {
    char took[24];
    if (!BeginSummary(took, sizeof took)) {
        return;
    }
    std::fprintf(stderr, "Summary: %ld of %ld line%s typed (%ld character%s) in %s\n", linesTyped,
                 lines, S(lines), charsTyped, S(charsTyped), took);
    for (int i = 0; i < notesKept; ++i) {
        std::fprintf(stderr, "  line %ld: %d echo%s missing\n", notes[i].line, notes[i].count,
                     notes[i].count == 1 ? "" : "es");
    }
    PrintDroppedNotes();
}
