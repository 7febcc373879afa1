#include "core/scheduler/display_text.h"

#include "core/scheduler/schedule.h"

namespace keelvault {

namespace {

std::string listTime(const TaskTime& t, const CSystemOptions& options) {
    if (!t.isSet()) return {};
    return formatTaskTime(t, options.date_format, options.time_format, false);
}

std::string logTime(const LogRecord& record, const CSystemOptions& options) {
    return formatTaskTime(record.time, options.date_format, options.time_format, true);
}

// Kinds above 2 count as errors.
const char* exportKindText(int level) {
    return level == kLogInfo ? "General Info" : level == kLogWarning ? "Warning Info" : "Error Info";
}

}  // namespace

TaskRowText taskRowText(const CTask& task, const CSystemOptions& options, bool service_running) {
    TaskRowText row;
    row.name = task.name;
    row.status = taskStatusText(task.status.load());
    row.type = taskTypeName(task.task_type);
    row.schedule = scheduleKindText(task.schedule.kind);
    if (service_running && task.schedule.kind != kScheduleManual) {
        row.last_run = row.next_run = "Backup Service...";
    } else {
        std::lock_guard lock(task.mutex());
        row.last_run = listTime(task.last_run, options);
        row.next_run = listTime(task.next_run, options);
    }
    return row;
}

std::string logRecordTxtLine(const LogRecord& record, const CSystemOptions& options) {
    return "[" + logTime(record, options) + "]\t" + exportKindText(record.level) + "\t" + record.text + "\r\n";
}

std::string logRecordCsvLine(const LogRecord& record, const CSystemOptions& options) {
    return "\"" + logTime(record, options) + "\",\"" + exportKindText(record.level) + "\",\"" + record.text +
           "\"\r\n";
}

}  // namespace keelvault
