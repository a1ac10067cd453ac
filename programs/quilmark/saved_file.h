// The file Quilmark saves to: the dump is written to a temporary file in the
// output's folder and renamed onto the output's name only when the run keeps
// what it saved, so a run that ends early never destroys the file that was
// there before.
//
// Summary:
//   CreateSavedFile   check the output name and create the temporary file
//   KeepSavedFile     close it and put it in the output's place
//   DiscardSavedFile  close it and remove it; the output stays as it was
//   AbandonSavedFile  remove it from a signal handler
#pragma once

#include <cstdio>

// Checks the output name `name` and creates the temporary file beside it
// (in the folder of the file a symbolic link leads to). An output that
// exists must be a plain file this user may write; anything else (a folder,
// a FIFO, a device, a socket) is refused, so nothing blocks on it and no
// device is replaced. Returns the temporary file, open for writing as text,
// or nullptr after printing "ERROR: Cannot Open File '<name>'" and a newline
// (with ": is a folder, not a file" and the like before the newline when
// that is why); nothing is created then. One saved file at a time.
std::FILE* CreateSavedFile(const char* name);

// Closes `fp` and renames the temporary file onto the output name (on POSIX
// hosts the data is synced to the disk first, and an existing output keeps
// its permissions). Returns 0; or -1 when the close or the rename failed, the
// temporary file then removed and the output left as it was.
int KeepSavedFile(std::FILE* fp);

// Closes `fp` and removes the temporary file: the output stays as it was,
// or stays absent.
void DiscardSavedFile(std::FILE* fp);

// For a program ending at once from a signal handler: removes the temporary
// file, leaving the output as it was. Safe in a signal handler on POSIX; on
// Windows an open file cannot be removed, and the temporary file may remain.
void AbandonSavedFile();
