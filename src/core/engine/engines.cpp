#include "core/engine/engines.h"

#include "core/scheduler/task_environment.h"

namespace keelvault {

void registerBuiltinEngines(TaskEnvironment& env) {
    // The engines of the task types register here as they are built; a type
    // without one is treated like an unknown type code.
    (void)env;
}

}  // namespace keelvault
