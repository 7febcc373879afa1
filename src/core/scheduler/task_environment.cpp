#include "core/scheduler/task_environment.h"

namespace keelvault {

TaskEnvironment::TaskEnvironment() : clock(&systemClock()) {}

void TaskEnvironment::registerEngine(int task_type, Engine engine) {
    std::lock_guard lock(engines_mutex_);
    if (engine) {
        engines_[task_type] = std::move(engine);
    } else {
        engines_.erase(task_type);
    }
}

Engine TaskEnvironment::findEngine(int task_type) const {
    std::lock_guard lock(engines_mutex_);
    auto it = engines_.find(task_type);
    return it == engines_.end() ? Engine{} : it->second;
}

bool TaskEnvironment::hasEngine(int task_type) const {
    std::lock_guard lock(engines_mutex_);
    return engines_.count(task_type) != 0;
}

void TaskEnvironment::updateOptions(const CSystemOptions& new_options) {
    std::lock_guard lock(options_mutex_);
    options = new_options;
}

CSystemOptions TaskEnvironment::currentOptions() const {
    std::lock_guard lock(options_mutex_);
    return options;
}

void TaskEnvironment::log(const CTask& task, uint8_t level, const std::string& text) {
    LogRecord record;
    record.level = level;
    record.time = clock->now();
    record.text = text;
    {
        std::lock_guard lock(log_mutex_);
        appendLog(logsFolder(), task.log_name, level, text, record.time);
    }
    // Outside the lock: a listener may write further lines.
    if (log_listener) log_listener(task, record);
}

void TaskEnvironment::applyLogSizeLimit(const CTask& task) {
    CSystemOptions current = currentOptions();
    std::lock_guard lock(log_mutex_);
    keelvault::applyLogSizeLimit(logsFolder(), task.log_name, current.log_size_limited != 0, current.max_log_size_kb);
}

}  // namespace keelvault
