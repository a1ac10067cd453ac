// Torvanex's exit statuses and its help, which lists them.
#pragma once

#include "run/exit_status.h"
#include "run/help.h"

// The status each way a stage of Torvanex's run ends gives, and its text.
extern const ExitStatusTable kTorvanexStatuses;

// Torvanex's --help.
extern const ProgramHelp kTorvanexHelp;
