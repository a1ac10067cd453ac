#include "run/exit_status.h"

int ExitStatusFor(const ExitStatusTable& table, Stage stage, Outcome outcome) {
    for (std::size_t i = 0; i < table.count; ++i) {
        const ExitStatusRow& row = table.rows[i];
        if (outcome == Outcome::kStopped && row.status == kStoppedBySignal) {
            return row.status;
        }
        for (const StageEnds& ends : row.ends) {
            if (ends.stage == stage && (ends.outcomes & Of(outcome)) != 0) {
                return row.status;
            }
        }
    }
    return kNoExitStatus;
}
