// How a wait on the target, or a step of a program, ended; each program's
// exit-status table is read with it.
#pragma once

enum class Outcome {
    kDone,          // what was waited for came; the step did its work
    kSilent,        // nothing came in time (a NUL byte reads as nothing)
    kPortLost,      // the port hung up or its device was removed
    kStopped,       // a stop signal (Ctrl-C, SIGTERM, SIGHUP) came
    kChatter,       // the target kept sending, but not what was waited for
    kBadAnswer,     // the target answered, but not as it should (a refused record)
    kFileError,     // a file cannot be opened, read or written, is not sound, or changed
    kBadArguments,  // the command line cannot be used
    kNoPort,        // the port cannot be opened
    kNotSeen,       // a text awaited after the job did not come in time
    kNoPrompt,      // the target answered, but its prompt never came (LastPromptMiss)
};
