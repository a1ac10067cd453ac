// Torvanex's exit statuses and its help, in one place: the table main's
// stages end the run with, and from which the help lists the statuses.
#pragma once

#include "guidance/exit_status.h"
#include "guidance/help.h"

// Which status each way a stage of Torvanex's run ends gives, with the
// texts of the help, the manual page and the README for each.
extern const ExitStatusTable kTorvanexStatuses;

// Torvanex's --help: what it does, its arguments, and kTorvanexStatuses.
extern const ProgramHelp kTorvanexHelp;
