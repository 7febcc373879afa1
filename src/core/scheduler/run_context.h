#pragma once

#include <mysql.h>

#include <cstdint>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>

#include "core/model/task.h"
#include "core/model/task_time.h"
#include "core/scheduler/run_progress.h"

namespace keelvault {

class TaskEnvironment;

// The server connections a worker has open, so that a stop that is not
// honoured in time can cancel its blocking calls.
class ConnectionRegistry {
public:
    void add(MYSQL* mysql);
    // Blocks while a cancel is in progress, so the caller may close afterwards.
    void remove(MYSQL* mysql);
    // mariadb_cancel on every registered connection; returns how many.
    int cancelAll();
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::set<MYSQL*> connections_;
};

// What an engine gets for one run of its task.
class RunContext {
public:
    // Without a progress record of the task's the context keeps one of its own.
    RunContext(CTask& task, TaskEnvironment& env, std::stop_token stop, ConnectionRegistry& connections,
               RunProgress* progress = nullptr);

    CTask& task() { return task_; }
    const CTask& task() const { return task_; }
    TaskEnvironment& env() { return env_; }

    // Check point: true once the task has been asked to stop.
    bool stopRequested() const { return stop_.stop_requested(); }
    std::stop_token stopToken() const { return stop_; }

    void log(uint8_t level, const std::string& text);
    // Error lines logged through this context so far, and the first one.
    int errorLines() const { return error_lines_; }
    const std::string& firstError() const { return first_error_; }
    TaskTime now() const;

    // Register every connection right after mysql_init and unregister it
    // before mysql_close.
    void registerConnection(MYSQL* mysql) { connections_.add(mysql); }
    void unregisterConnection(MYSQL* mysql) { connections_.remove(mysql); }

    // Where the engine reports how far the run has come.
    RunProgress& progress() { return *progress_; }

private:
    CTask& task_;
    TaskEnvironment& env_;
    std::stop_token stop_;
    ConnectionRegistry& connections_;
    int error_lines_ = 0;  // the engine's own thread only
    std::string first_error_;
    RunProgress own_progress_;
    RunProgress* progress_;
};

}  // namespace keelvault
