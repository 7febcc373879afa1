#include "core/scheduler/task_server.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "core/model/task_list_file.h"

namespace keelvault {

TaskSlot::~TaskSlot() {
    stop(std::chrono::milliseconds(3000));
}

bool TaskSlot::hasWorker() const {
    return state_ && !state_->finished.load();
}

bool TaskSlot::start(TaskEnvironment* env, Engine engine) {
    reap();
    auto state = std::make_shared<WorkerState>(task_, env, std::move(engine), progress_);
    try {
        thread_ = std::jthread(runWorker, state);
    } catch (const std::system_error&) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

void TaskSlot::requestStop() {
    if (thread_.joinable()) thread_.request_stop();
}

void TaskSlot::stop(std::chrono::milliseconds grace) {
    if (!thread_.joinable()) {
        state_.reset();
        return;
    }
    thread_.request_stop();
    if (!state_->waitFinished(grace)) {
        // The worker is stuck in a server call; make the call return.
        state_->connections.cancelAll();
    }
    thread_.join();
    state_.reset();
}

void TaskSlot::reap() {
    if (thread_.joinable()) thread_.join();
    state_.reset();
}

TaskServer::TaskServer() = default;

TaskServer::~TaskServer() {
    std::vector<std::unique_ptr<TaskSlot>> slots;
    {
        std::lock_guard lock(slots_mutex_);
        slots.swap(slots_);
    }
    for (auto& slot : slots) slot->requestStop();
    for (auto& slot : slots) slot->stop(stop_grace);
}

int TaskServer::addTask(const CTask& task) {
    const TaskTime now = env_ ? env_->now() : clock_->now();
    auto record = std::make_shared<CTask>(task);
    record->run_now = 0;

    std::lock_guard lock(slots_mutex_);
    const size_t count = slots_.size();
    record->ref_text = std::to_string(now.year) + std::to_string(now.month) + std::to_string(now.day) +
                       std::to_string(now.hour) + std::to_string(now.minute) + std::to_string(now.second) +
                       std::to_string(count);
    if (count == slots_.capacity()) {
        slots_.reserve(count + std::max<size_t>(4, std::min<size_t>(1024, count / 8)));
    }
    slots_.push_back(std::make_unique<TaskSlot>(std::move(record)));
    return static_cast<int>(count);
}

void TaskServer::removeTask(int index) {
    std::unique_ptr<TaskSlot> slot;
    {
        std::lock_guard lock(slots_mutex_);
        if (index < 0 || index >= static_cast<int>(slots_.size())) return;
        slot = std::move(slots_[static_cast<size_t>(index)]);
        slots_.erase(slots_.begin() + index);
    }
    // Outside the lock: a worker may be saving the list through tasks().
    slot->stop(stop_grace);
}

void TaskServer::removeAll() {
    while (taskCount() > 0) removeTask(0);
}

int TaskServer::taskCount() const {
    std::lock_guard lock(slots_mutex_);
    return static_cast<int>(slots_.size());
}

TaskSlot* TaskServer::slotAt(int index) const {
    std::lock_guard lock(slots_mutex_);
    if (index < 0 || index >= static_cast<int>(slots_.size())) return nullptr;
    return slots_[static_cast<size_t>(index)].get();
}

CTask& TaskServer::taskAt(int index) {
    std::lock_guard lock(slots_mutex_);
    return slots_.at(static_cast<size_t>(index))->task();
}

const CTask& TaskServer::taskAt(int index) const {
    std::lock_guard lock(slots_mutex_);
    return slots_.at(static_cast<size_t>(index))->task();
}

CTask TaskServer::copyTask(int index) const {
    TaskSlot* slot = slotAt(index);
    return slot ? CTask(slot->task()) : CTask();
}

int TaskServer::startAll(TaskEnvironment* env) {
    if (env == nullptr) return kTaskServerNoOwner;
    if (started_) return kTaskServerAlreadyStarted;
    env_ = env;
    const int count = taskCount();
    for (int i = 0; i < count; ++i) startTask(i);
    started_ = true;
    return 0;
}

int TaskServer::stopAll() {
    if (!started_) return kTaskServerNotStarted;
    const int count = taskCount();
    // Ask every worker first so they wind down together rather than one
    // grace period after another.
    for (int i = 0; i < count; ++i) {
        if (TaskSlot* slot = slotAt(i)) slot->requestStop();
    }
    for (int i = 0; i < count; ++i) stopTask(i);
    started_ = false;
    env_ = nullptr;
    removeAll();
    return 0;
}

void TaskServer::startTask(int index) {
    TaskSlot* slot = slotAt(index);
    if (slot == nullptr) return;
    if (slot->hasWorker()) {
        // It serves a pending run request on its next cycle; make that now.
        slot->state_->wake();
        return;
    }
    CTask& task = slot->task();
    if (task.schedule.kind == kScheduleManual && task.run_now.load() != 1) return;
    if (env_ == nullptr || task.task_type < 1 || task.task_type > 8) return;
    Engine engine = env_->findEngine(task.task_type);
    if (!engine) return;
    if (!slot->start(env_, std::move(engine))) {
        task.run_now = 0;
        task.status = kStatusIdle;
        env_->log(task, kLogError, "Failed to create thread!");
    }
}

void TaskServer::stopTask(int index) {
    TaskSlot* slot = slotAt(index);
    if (slot == nullptr) return;
    slot->stop(stop_grace);
    slot->task().status = kStatusIdle;
}

bool TaskServer::shouldContinue(const CTask& task) {
    if (task.status.load() == kStatusIdle) return false;
    return task.schedule.kind != kScheduleManual;
}

bool TaskServer::hasWorker(int index) const {
    TaskSlot* slot = slotAt(index);
    return slot != nullptr && slot->hasWorker();
}

RunProgressSnapshot TaskServer::progressAt(int index) const {
    TaskSlot* slot = slotAt(index);
    return slot ? slot->progress()->snapshot() : RunProgressSnapshot{};
}

std::vector<std::shared_ptr<const CTask>> TaskServer::tasks() const {
    std::lock_guard lock(slots_mutex_);
    std::vector<std::shared_ptr<const CTask>> out;
    out.reserve(slots_.size());
    for (const auto& slot : slots_) out.push_back(slot->taskPtr());
    return out;
}

bool TaskServer::saveTasksTo(const std::filesystem::path& path) const {
    const auto records = tasks();
    std::vector<const CTask*> pointers;
    pointers.reserve(records.size());
    for (const auto& record : records) pointers.push_back(record.get());
    return saveTasks(path, pointers);
}

}  // namespace keelvault
