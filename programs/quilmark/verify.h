// Quilmark's verify: reads back every data byte an Intel HEX file holds and
// says whether the target holds the file.
//
//   Quilmark --verify {filename} {com port}
#pragma once

// True when the command line asks for the verify ("--verify" first).
bool AsksForVerify(int argc, char* argv[]);

// Runs the verify for the command line `argc`, `argv` (argv[1] is
// "--verify") from its banner to its closing line, the file and the port
// closed on every path. Returns the exit status: 0 the target holds every
// data byte of the file; 7 at least one differs (one line per 16-byte block
// that differs, and a closing line with the counts, on standard output);
// otherwise as the save: 1 bad arguments, -1 the file cannot be opened or
// read or is not a sound HEX file, 2 the port cannot be opened, 3 no answer
// to the wake-up, 4 silence during a request, 5 unsound answers, 128 + n
// stopped by signal n.
int VerifyLoad(int argc, char* argv[]);
