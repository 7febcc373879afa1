#include "core/engine/engines.h"

#include "core/engine/backup_files_engine.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

void registerBuiltinEngines(TaskEnvironment& env) {
    env.registerEngine(kTypeBackupToFiles, [](RunContext& context) { return runBackupToFiles(context); });
}

}  // namespace keelvault
