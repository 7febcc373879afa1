#pragma once

#include <cstdint>
#include <string>

#include "core/model/options_file.h"
#include "core/model/task.h"

namespace keelvault {

// The read-only texts of the view pages of the property sheet.

// The "Protocols" box of the server view: "Use compression protocol\r\n"
// when compression is on, then "Use SSL protocol" when SSL is on; "None"
// when neither is.
std::string protocolsViewText(const CServerSettings& server);

// A table or view as the lists and the tree show it: the name, then
// " (Table)" for kind 1 or " (View)" for kind 2.
std::string tableItemText(const std::string& name, uint8_t kind);

// "Sunday".."Saturday" for 0..6; "1st", "2nd", "3rd", "4th" .. "31st" for 1..31.
std::string weekDayName(int index);
std::string monthDayName(int day);

// A run time in the options' time format: "HH:MM", or with the 12-hour
// format the hour less 12 from noon on and " P.M" / " A.M" (half past
// twelve noon is "00:30 P.M").
std::string runTimeText(int32_t hour, int32_t minute, int time_format);

struct ScheduleViewText {
    std::string kind;      // "Task Schedule:"
    std::string settings;  // "Settings:"
};
ScheduleViewText scheduleViewText(const CSchedule& schedule, const CSystemOptions& options);

struct BackupFileViewText {
    std::string file_type;    // "File Type: "
    std::string backup_type;  // "Backup Type:"
    std::string settings;     // "Settings:"
};
BackupFileViewText backupFileViewText(const CBackupOptions& options);

// The text under the disabled buffer box.
std::string bufferViewText(const CBufferOptions& options);

// "CSV File  (Table Export)" .. "TEXT File  (Table Export)"; empty for other formats.
std::string exportTypeViewText(uint8_t format);

// A restore file row: "%d KB" (bytes / 1024, rounded down) and the file's
// time with seconds in the options' formats.
std::string restoreFileSizeText(int32_t size);
std::string restoreFileTimeText(const CRestoreFile& file, const CSystemOptions& options);

}  // namespace keelvault
