// How quickly the target's answers come back, as the serial link sees them:
// for each answer, the time from the moment the host's last byte would have
// left a 9600 baud 8N2 line to the answer's first byte, less the one
// character time the answer itself needs on the line. What is left is what
// the target, the adapter (its latency timer) or a network added. Kept for
// the first answers of a run; the backends note every write and read.
#pragma once

#include <cstddef>
#include <cstdint>

// Answers timed per run, and the fewest that tell anything.
constexpr int kTimedAnswers = 32;
constexpr int kLeastTimedAnswers = 5;
// Answers mostly later than this (microseconds) are slow: a well-set adapter
// adds about 1 ms (and a USB frame), an FTDI adapter's default timer about
// 14 to an answer that follows a request.
constexpr int64_t kSlowAnswerUs = 6000;

// Microseconds on a steady clock, for the notes below.
int64_t SteadyNowUs();

// Starts timing the answers on the port just opened as `portName`: earlier
// answers are forgotten and the name kept (cut to 79 characters).
void StartAnswerTiming(const char* portName);

// `count` bytes handed to the port at `nowUs`: the line carries them one
// after another from then, or from when it is free.
void NoteBytesWritten(int64_t nowUs, std::size_t count);

// A byte read at `nowUs`: when it is the first since a write, its delay is
// noted. `waited` tells whether the wait had to sleep for it; a byte that
// was already there came at some earlier time, so it is noted only when
// even this late reading is not slow.
void NoteByteRead(int64_t nowUs, bool waited);

// True when at least kLeastTimedAnswers answers were timed and three in four
// came more than kSlowAnswerUs late: the delay of their lower quartile
// (microseconds) in *quartileUs either way (0 when none was timed).
bool AnswersCameSlowly(int64_t* quartileUs);

// The name of the port whose answers were timed ("" before any open).
const char* TimedPortName();
