// The standard streams made safe to lose, before a program opens anything.
#pragma once

// Opens the null device on each of descriptors 0, 1 and 2 that is closed, so
// no file or port takes its number; on POSIX ignores SIGPIPE, so a lost
// output only fails the writes to it. Call first in main.
void SettleStandardStreams();
