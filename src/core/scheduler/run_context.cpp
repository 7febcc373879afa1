#include "core/scheduler/run_context.h"

#include "core/scheduler/task_environment.h"

namespace keelvault {

void ConnectionRegistry::add(MYSQL* mysql) {
    if (mysql == nullptr) return;
    std::lock_guard lock(mutex_);
    connections_.insert(mysql);
}

void ConnectionRegistry::remove(MYSQL* mysql) {
    std::lock_guard lock(mutex_);
    connections_.erase(mysql);
}

int ConnectionRegistry::cancelAll() {
    // Held throughout: a connection cannot be unregistered and closed while
    // it is being cancelled.
    std::lock_guard lock(mutex_);
    int cancelled = 0;
    for (MYSQL* mysql : connections_) {
        mariadb_cancel(mysql);
        ++cancelled;
    }
    return cancelled;
}

size_t ConnectionRegistry::size() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

RunContext::RunContext(CTask& task, TaskEnvironment& env, std::stop_token stop, ConnectionRegistry& connections,
                       RunProgress* progress)
    : task_(task),
      env_(env),
      stop_(std::move(stop)),
      connections_(connections),
      progress_(progress ? progress : &own_progress_) {}

void RunContext::log(uint8_t level, const std::string& text) {
    if (level == kLogError && error_lines_++ == 0) first_error_ = text;
    env_.log(task_, level, text);
}

TaskTime RunContext::now() const {
    return env_.now();
}

}  // namespace keelvault
