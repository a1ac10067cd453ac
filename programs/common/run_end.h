// How a run that ends early says why. Each function prints its reason on the
// console and gives back the exit status; the program then closes its file,
// then its port, and exits with that status.
#pragma once

#include "serial/serial_link.h"

// A stop signal (Ctrl-C or SIGTERM) ended the run: prints "Stopped by signal"
// and returns 128 + the signal number.
int StoppedStatus();

// A wait on `port` brought nothing. Tells apart a stop signal (as
// StoppedStatus), a lost port ("the port was lost") and a silent target
// ("No Response from target"). Returns the stop status for a signal, else
// `status`.
int SilenceStatus(ComPort port, int status);

// A drain gave up on a target that never fell quiet: says so and returns
// `status`.
int ChatterStatus(int status);
