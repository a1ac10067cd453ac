// The line's pace: its character time, what a target answers at the least,
// and the arithmetic each program's time estimate is made of. Each program
// keeps its own pauses beside its flow; its estimate and the benchmark's
// floor read the same figures, so they cannot drift apart.
#pragma once

#include <cstdint>

// The line: 9600 baud, 11 bits a character (start bit, 8 data bits, 2 stop
// bits), so one character takes about 1.15 ms on the wire.
constexpr int32_t kLineBaud = 9600;
constexpr int kLineBitsPerChar = 11;
constexpr double kLineCharMs = kLineBitsPerChar * 1000.0 / kLineBaud;

// How many characters the target answers with, for the time estimates.
struct TargetAnswers {
    int promptEnd;    // answer to the wake-up up to the end of its "$$$"
    int prompt;       // the whole answer to the wake-up
    int verdict;      // answer to one record
    int dumpOpen;     // answer to ";"
    int dump;         // answer to a dump request: its first byte, the 34
                      // characters and whatever follows them
    int basicBanner;  // answer to "B", up to and with "top?"
    int basicReady;   // answer to the CR after "top?", up to and with "Ok"
    int lineEnd;      // answer to the CR after each typed piece
};

// The least a target honouring the monitor's contract sends: the prompt
// "$$$" alone, one verdict character, one byte to ";", one byte and the 34
// characters to a request, "top?", "Ok", nothing to a line's CR. The programs
// estimate with these; the benchmark with its simulated target's real texts.
constexpr TargetAnswers kLeastAnswers = {3, 3, 1, 1, 1 + 34, 4, 2, 0};

// The work of a dump: the requests of 16 bytes each.
struct DumpWork {
    long requests;
};

// The work of typing a program: its lines, the pieces they are typed in
// (one per line unless a line is cut), the characters whose echo is awaited
// (0x20..0x7F) and the others.
struct TypingWork {
    long lines;
    long pieces;
    long echoed;
    long unechoed;
};

// Milliseconds `count` characters take on the line.
constexpr double LineCharsMs(double count) {
    return count * kLineCharMs;
}

// Milliseconds of a pause taken after sending a byte, while the answer to it
// (`answerChars` characters) crosses the line: whichever ends later.
double PauseOrAnswerMs(int32_t pauseMs, int answerChars);
