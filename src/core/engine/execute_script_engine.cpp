#include "core/engine/execute_script_engine.h"

#include <string>

#include "core/engine/mysql_session.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

EngineResult runExecuteScript(RunContext& context) {
    const CTask& task = context.task();
    if (task.script.empty()) {
        context.log(kLogError, "There are not any SQL statements to execute!");
        return EngineResult::Failed;
    }

    context.log(kLogInfo, "Connecting to the source MySQL server (" + task.source.host + ")... ");
    MySqlSession session;
    session.registerWith(context);
    if (!session.open(task.source)) {
        context.log(kLogError, connectFailedLogText(session.errorNumber(), session.errorText()));
        return EngineResult::Failed;
    }
    context.log(kLogInfo, connectSucceededLogText(session.versionText()));
    context.log(kLogInfo, "Executing MySQL script: " + std::to_string(task.script.size()) + " statements");

    context.progress().setStatementsTotal(static_cast<int64_t>(task.script.size()));
    int executed = 0;
    int number = 0;
    for (const std::string& statement : task.script) {
        ++number;
        if (context.stopRequested()) return EngineResult::Canceled;
        if (statement.empty()) continue;
        std::string sql = statement;
        if (sql.back() == ';') sql.pop_back();
        context.progress().addStatements();
        if (!session.execute(sql)) {
            // A blocked call cancelled by a stop fails; that is not the statement's fault.
            if (context.stopRequested()) return EngineResult::Canceled;
            context.log(kLogError, "Failed to execute the SQL statement! NO. " + std::to_string(number) + " : " + sql);
            context.log(kLogWarning, session.errorLogText());
            continue;
        }
        ++executed;
        if (context.stopRequested()) return EngineResult::Canceled;
    }

    context.log(kLogInfo, "Executed: " + std::to_string(executed) + " statements");
    session.close();
    return EngineResult::Finished;
}

}  // namespace keelvault
