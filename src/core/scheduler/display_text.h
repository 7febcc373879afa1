#pragma once

#include <string>

#include "core/model/options_file.h"
#include "core/model/task.h"
#include "core/model/task_log.h"

namespace keelvault {

// The texts of one row of the task list.
struct TaskRowText {
    std::string name;
    std::string status;
    std::string last_run;
    std::string next_run;
    std::string type;
    std::string schedule;
};

// Times without seconds, with the day name, in the options' formats; a time
// that is not set is empty. While the service runs, both times of a scheduled
// task read "Backup Service...".
TaskRowText taskRowText(const CTask& task, const CSystemOptions& options, bool service_running);

// One line of the log viewer's text export: "[time]\tKind Info\ttext\r\n".
std::string logRecordTxtLine(const LogRecord& record, const CSystemOptions& options);
// One line of the CSV export: "\"time\",\"Kind Info\",\"text\"\r\n".
std::string logRecordCsvLine(const LogRecord& record, const CSystemOptions& options);

}  // namespace keelvault
