#pragma once

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>

#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"

namespace keelvault::test {

// A scripted engine for the "Execute SQL script" type: each script line is
// an instruction. "say TEXT" logs TEXT, "error TEXT" logs TEXT as an error,
// "fail" ends the run as failed, "sleep MS" waits (watching for a stop),
// "table DB NAME ESTIMATE TOTAL" starts a table of a run of TOTAL tables and
// "rows N BYTES" reports N rows and BYTES written.
inline EngineResult scriptedEngine(RunContext& ctx) {
    for (const std::string& line : ctx.task().script) {
        if (ctx.stopRequested()) return EngineResult::Canceled;
        if (line.rfind("say ", 0) == 0) {
            ctx.log(kLogInfo, line.substr(4));
        } else if (line.rfind("error ", 0) == 0) {
            ctx.log(kLogError, line.substr(6));
        } else if (line.rfind("table ", 0) == 0) {
            std::istringstream in(line.substr(6));
            std::string database, table;
            int64_t estimate = -1, total = 0;
            in >> database >> table >> estimate >> total;
            ctx.progress().setTablesTotal(total);
            ctx.progress().beginTable(database, table, estimate);
        } else if (line.rfind("rows ", 0) == 0) {
            std::istringstream in(line.substr(5));
            int64_t rows = 0, bytes = 0;
            in >> rows >> bytes;
            ctx.progress().addRows(rows);
            ctx.progress().addBytes(bytes);
        } else if (line == "fail") {
            ctx.log(kLogError, "Scripted failure");
            return EngineResult::Failed;
        } else if (line.rfind("sleep ", 0) == 0) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(line.substr(6)));
            while (std::chrono::steady_clock::now() < until) {
                if (ctx.stopRequested()) return EngineResult::Canceled;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }
    return EngineResult::Finished;
}

inline void registerTestEngines(TaskEnvironment& env) { env.registerEngine(5, scriptedEngine); }

}  // namespace keelvault::test
