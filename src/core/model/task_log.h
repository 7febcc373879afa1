#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/model/task_time.h"

namespace keelvault {

inline constexpr uint32_t kLogMagic = 0xCABDF9E0;
inline constexpr uint32_t kLogOldMagic = 0xBFDFAEB0;
inline constexpr size_t kLogRecordSize = 360;
inline constexpr size_t kLogTextSize = 331;

enum LogLevel : uint8_t { kLogInfo = 0, kLogWarning = 1, kLogError = 2 };

struct LogRecord {
    uint8_t level = kLogInfo;
    TaskTime time;
    std::string text;

    bool operator==(const LogRecord&) const = default;
};

// "General Info", "Warning Info", "Error Info".
const char* logLevelText(int level);

// The file of a log name under the logs folder: only the part after the last
// '\\' or '/' of the name is used.
std::filesystem::path logFilePath(const std::filesystem::path& logs_folder, const std::string& log_name);

// Appends one record stamped `when`. Creates the logs folder and the file if
// needed and writes the magic at offset 0; an empty text writes only the
// magic. False when the name is empty or the file cannot be opened.
// Callers stamp with their clock (TaskEnvironment::log does), so tests can
// replace the time.
bool appendLog(const std::filesystem::path& logs_folder, const std::string& log_name, uint8_t level,
               const std::string& text, const TaskTime& when);

std::vector<LogRecord> readAllLog(const std::filesystem::path& logs_folder, const std::string& log_name);
std::vector<LogRecord> readLastLog(const std::filesystem::path& logs_folder, const std::string& log_name, size_t n);

// Deletes the log when the limit is on, max_kb >= 1 and size/1024 >= max_kb.
void applyLogSizeLimit(const std::filesystem::path& logs_folder, const std::string& log_name, bool limited,
                       int32_t max_kb);

// Converts logs of the earlier layout once: does nothing when the marker
// "log200se.dll" exists in the logs folder, else converts every named log that
// does not begin with the current magic and creates the marker.
void convertLogsOnce(const std::filesystem::path& logs_folder, const std::vector<std::string>& log_names);

}  // namespace keelvault
