#include "core/engine/engines.h"

#include "core/engine/backup_files_engine.h"
#include "core/engine/execute_script_engine.h"
#include "core/engine/export_engine.h"
#include "core/engine/restore_engine.h"
#include "core/engine/server_copy_engine.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

void registerBuiltinEngines(TaskEnvironment& env) {
    env.registerEngine(kTypeBackupToFiles, [](RunContext& context) { return runBackupToFiles(context); });
    env.registerEngine(kTypeExecuteScript, [](RunContext& context) { return runExecuteScript(context); });
    env.registerEngine(kTypeRestoreFromFiles, [](RunContext& context) { return runRestoreFromFiles(context); });
    env.registerEngine(kTypeExport, [](RunContext& context) { return runExportTask(context); });
    for (const int type :
         {kTypeBackupToServer, kTypeBackupToDatabase, kTypeRestoreFromServer, kTypeRestoreFromDatabase}) {
        env.registerEngine(type, [](RunContext& context) { return runServerCopy(context); });
    }
}

}  // namespace keelvault
