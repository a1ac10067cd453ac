// The file Quilmark saves to: a temporary file beside the output, renamed
// onto it only when the run keeps what it saved, so a run that ends early
// never destroys the file that was there before.
#pragma once

#include <cstdio>

// Creates the temporary file beside `name` (beside a link's target), open
// for writing as text; an existing output must be a plain file this user may
// write. Returns nullptr, nothing created, with the reason printed.
std::FILE* CreateSavedFile(const char* name);

// Closes `fp` and renames the temporary file onto the output (synced first,
// its permissions kept). Returns -1, the output as it was, on failure.
int KeepSavedFile(std::FILE* fp);

// Closes `fp` and removes the temporary file; the output stays as it was.
void DiscardSavedFile(std::FILE* fp);

// Removes the temporary file from a signal handler (on Windows an open file
// cannot be removed, and it may remain).
void AbandonSavedFile();
