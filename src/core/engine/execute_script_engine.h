#pragma once

#include "core/scheduler/task_environment.h"

namespace keelvault {

class RunContext;

// One run of an "Execute SQL script" task: sends the task's stored
// statements to its source server in order. A failing statement is logged
// with its number in the list and the run goes on.
EngineResult runExecuteScript(RunContext& context);

}  // namespace keelvault
