#pragma once

namespace keelvault {

class TaskEnvironment;

// Registers the engine of every task type that has one.
void registerBuiltinEngines(TaskEnvironment& env);

}  // namespace keelvault
