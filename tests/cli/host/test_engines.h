#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"

namespace keelvault::test {

// A scripted engine for the "Execute SQL script" type: each script line is
// an instruction. "say TEXT" logs TEXT, "error TEXT" logs TEXT as an error,
// "fail" ends the run as failed, "sleep MS" waits (watching for a stop).
inline EngineResult scriptedEngine(RunContext& ctx) {
    for (const std::string& line : ctx.task().script) {
        if (ctx.stopRequested()) return EngineResult::Canceled;
        if (line.rfind("say ", 0) == 0) {
            ctx.log(kLogInfo, line.substr(4));
        } else if (line.rfind("error ", 0) == 0) {
            ctx.log(kLogError, line.substr(6));
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
