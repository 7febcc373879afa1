#pragma once

#include "core/scheduler/task_environment.h"

namespace keelvault {

class RunContext;

// The run of a "Backup to SQL/PHP files" task: connects to the source
// server, writes the dump files of the selected databases, tables and views,
// compresses them when asked, records the backup in the task and applies
// retention. A non-zero `version_override` makes the run treat the server as
// that version (old-server paths).
EngineResult runBackupToFiles(RunContext& context, unsigned long version_override = 0);

}  // namespace keelvault
