#include "core/model/task.h"

#include <cstdio>

namespace keelvault {

const char* taskTypeName(int type) {
    switch (type) {
    case 1: return "Backup to SQL/PHP files";
    case 2: return "Backup to another server";
    case 3: return "Backup to another database";
    case 4: return "Export to CSV/XML/HTML/TEXT files";
    case 5: return "Execute SQL script";
    case 6: return "Restore by SQL and GZIP files";
    case 7: return "Restore by another server";
    case 8: return "Restore by another database";
    default: return "Unknown";
    }
}

const char* taskStatusText(int status) {
    switch (status) {
    case kStatusWaiting: return "Waiting...";
    case kStatusIdle: return "Stop";
    case kStatusRunning: return "Running...";
    case kStatusService: return "Service...";
    default: return "Unknown";
    }
}

const char* scheduleKindText(int kind) {
    switch (kind) {
    case 0: return "Manual";
    case 1: return "Every Day";
    case 2: return "Every Week";
    case 3: return "Every Month";
    case 4: return "Special Date";
    case 5: return "Minutes";
    default: return "Unknown";
    }
}

std::array<uint8_t, kBackupFlagCount> CBackupOptions::defaultFlags() {
    return {1, 1, 1, 1, 1, 1, 0, 0, 0, 0,   // 0..9
            1, 1, 1, 0, 1, 0, 0, 0, 0, 0,   // 10..19
            0, 1, 1, 1, 1, 1, 1, 2, 1};     // 20..28
}

CTask::CTask(const CTask& other) { copyFrom(other); }

CTask& CTask::operator=(const CTask& other) {
    if (this != &other) copyFrom(other);
    return *this;
}

void CTask::copyFrom(const CTask& other) {
    // Lock both: the source may be a live record a worker updates, the
    // destination may be one the display reads.
    std::scoped_lock lock(mutex_, other.mutex_);
    ref_text = other.ref_text;
    run_now.store(other.run_now.load());
    name = other.name;
    comment = other.comment;
    task_type = other.task_type;
    status.store(other.status.load());
    created_at = other.created_at;
    started_at = other.started_at;
    last_run = other.last_run;
    next_run = other.next_run;
    log_name = other.log_name;
    source = other.source;
    destination = other.destination;
    export_options = other.export_options;
    export_tables = other.export_tables;
    backup_options = other.backup_options;
    databases = other.databases;
    schedule = other.schedule;
    script = other.script;
    backups = other.backups;
    restore_options = other.restore_options;
    restore_files = other.restore_files;
    buffer_options = other.buffer_options;
}

bool CTask::operator==(const CTask& other) const {
    if (this == &other) return true;
    std::scoped_lock lock(mutex_, other.mutex_);
    return ref_text == other.ref_text && run_now.load() == other.run_now.load() &&
           name == other.name && comment == other.comment && task_type == other.task_type &&
           status.load() == other.status.load() && created_at == other.created_at &&
           started_at == other.started_at && last_run == other.last_run &&
           next_run == other.next_run && log_name == other.log_name && source == other.source &&
           destination == other.destination && export_options == other.export_options &&
           export_tables == other.export_tables && backup_options == other.backup_options &&
           databases == other.databases && schedule == other.schedule && script == other.script &&
           backups == other.backups && restore_options == other.restore_options &&
           restore_files == other.restore_files && buffer_options == other.buffer_options;
}

void CTask::applyScheduleStatus() {
    status = schedule.kind != kScheduleManual ? kStatusWaiting : kStatusIdle;
}

std::string cleanFileNamePart(const std::string& text) {
    std::string cleaned;
    cleaned.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\r': case '\n': case '\t': case '\\': case '/': case ':': case '*':
        case '?': case '"': case '<': case '>': case '|':
            break;
        default:
            cleaned += c;
        }
    }
    const auto first = cleaned.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return cleaned.substr(first, cleaned.find_last_not_of(' ') - first + 1);
}

std::string makeLogName(const std::string& task_name, const TaskTime& created) {
    std::string cleaned = cleanFileNamePart(task_name);
    if (cleaned.empty()) cleaned = "Default";
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "_%d%d%d%d%d%d", created.year, created.month, created.day,
                  created.hour, created.minute, created.second);
    return cleaned + stamp + ".log";
}

}  // namespace keelvault
