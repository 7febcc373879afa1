#pragma once

#include <mysql.h>

#include <cstddef>
#include <functional>
#include <string>

#include "core/model/task_time.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

class RunContext;

// What a copy run lets its caller watch or change; all optional.
struct ServerCopyProbe {
    // Non-zero: treat the source or destination as a server of that version.
    unsigned long source_version = 0;
    unsigned long destination_version = 0;
    // Each statement the engine sends to the destination, with its outcome.
    std::function<void(const std::string& sql, bool ok)> on_destination_statement;
    // Each statement the engine itself sends to the source, with its outcome.
    std::function<void(const std::string& sql, bool ok)> on_source_statement;
    // Each send of the statement queue: how many statements it held, and
    // whether all went through.
    std::function<void(size_t statements, bool ok)> on_queue_sent;
    // Once both connections are open.
    std::function<void(MYSQL* source, MYSQL* destination)> on_connected;
};

// The destination database name of the "another database" kinds with the
// placeholders %TASKNAME%, %HOST%, %DATABASE%, %DATE% and %TIME% replaced,
// every occurrence, in that order.
std::string expandDestinationName(const std::string& pattern, const std::string& task_name,
                                  const std::string& source_host, const std::string& database, const TaskTime& start);

// The run of task types 2, 3, 7 and 8: copies the selected databases, tables,
// views and rows from the source server to the destination over two
// connections, statement by statement.
EngineResult runServerCopy(RunContext& context, const ServerCopyProbe& probe = {});

}  // namespace keelvault
