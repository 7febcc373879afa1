#pragma once

#include <string>

#include "core/model/task.h"

namespace keelvault::cli {

// Every stored field of every task, as a JSON array of objects.
std::string taskListToJson(const CTaskList& list);

}  // namespace keelvault::cli
