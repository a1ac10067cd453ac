// Quilmark --verify {filename} {com port}: whether the target holds a file.
#pragma once

// True when the command line asks for the verify ("--verify" first).
bool AsksForVerify(int argc, char* argv[]);

// Runs the verify from its banner to its closing line; returns the exit
// status from Quilmark's table (7 when a byte differs).
int VerifyLoad(int argc, char* argv[]);
