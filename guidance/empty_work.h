// What a run that had nothing to do did not do, said once at its end on
// standard error (wrapped as guidance.h's WriteGuidance), after the summary;
// the transcript and the status stay as they are.
#pragma once

// An upload of `file`, which held no records: nothing sent, nothing loaded.
void NoteNothingSent(const char* file);

// A verify of `file`, which held no data bytes: nothing compared.
void NoteNothingCompared(const char* file);

// A save whose start address was not below its end address: nothing saved.
void NoteNothingSaved();

// A BASIC load of `file`, which held no program text: nothing typed.
void NoteNothingTyped(const char* file);
