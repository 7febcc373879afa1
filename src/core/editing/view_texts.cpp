#include "core/editing/view_texts.h"

#include <array>
#include <cstdio>

#include "core/model/task_time.h"
#include "core/scheduler/schedule.h"

namespace keelvault {

namespace {

constexpr const char* kNewLine = "\r\n";

std::string twoDigits(int32_t value) {
    return value > 9 ? std::to_string(value) : "0" + std::to_string(value);
}

std::string joinedNames(const uint8_t* flags, int count, std::string (*name)(int), int first) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (!flags[i]) continue;
        if (!text.empty()) text += ", ";
        text += name(i + first);
    }
    return text;
}

}  // namespace

std::string protocolsViewText(const CServerSettings& server) {
    std::string text;
    if (server.use_compression) text += std::string("Use compression protocol") + kNewLine;
    if (server.use_ssl) text += "Use SSL protocol";
    return text.empty() ? "None" : text;
}

std::string tableItemText(const std::string& name, uint8_t kind) {
    if (kind == 1) return name + " (Table)";
    if (kind == 2) return name + " (View)";
    return name;
}

std::string weekDayName(int index) {
    static const std::array<const char*, 7> kNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};
    return index >= 0 && index < 7 ? kNames[static_cast<size_t>(index)] : "";
}

std::string monthDayName(int day) {
    if (day < 1 || day > 31) return {};
    const int last = day % 10;
    const char* suffix = "th";
    if (day < 11 || day > 13) {
        if (last == 1) suffix = "st";
        if (last == 2) suffix = "nd";
        if (last == 3) suffix = "rd";
    }
    return std::to_string(day) + suffix;
}

std::string runTimeText(int32_t hour, int32_t minute, int time_format) {
    if (time_format != 2) return twoDigits(hour) + ":" + twoDigits(minute);
    const bool after_noon = hour > 11;
    return twoDigits(after_noon ? hour - 12 : hour) + ":" + twoDigits(minute) + (after_noon ? " P.M" : " A.M");
}

ScheduleViewText scheduleViewText(const CSchedule& s, const CSystemOptions& options) {
    const std::string run_time = "Run Time: " + runTimeText(s.hour, s.minute, options.time_format);
    switch (s.kind) {
        case kScheduleManual:
            return {"Manual", "None"};
        case kScheduleEveryDay:
            return {"Every Day", run_time};
        case kScheduleEveryWeek:
            return {"Every Week",
                    run_time + "\r\n\r\nDays of the week:\r\n" + joinedNames(s.week_days.data(), 7, weekDayName, 0)};
        case kScheduleEveryMonth:
            return {"Every Month", run_time + "\r\n\r\nDays of the month:\r\n" +
                                       joinedNames(s.month_days.data(), 31, monthDayName, 1)};
        case kScheduleSpecialDate: {
            const int weekday = isValidDate(s.year, s.month, s.day) ? dayOfWeek(s.year, s.month, s.day) : -1;
            std::string text =
                "Run Date and Time:\r\n" + formatTaskTime(s.year, s.month, s.day, s.hour, s.minute, 0, weekday,
                                                          options.date_format, options.time_format, false);
            if (s.every_n_days > 0) text += "\r\n\r\nRun the task every " + std::to_string(s.every_n_days) + " day(s)";
            return {"Special Date", text};
        }
        case kScheduleTimeInterval:
            return {"Time Interval", "Time Interval: " + std::to_string(s.interval_minutes) + " Minute(s)"};
        default:
            return {"None", "None"};
    }
}

BackupFileViewText backupFileViewText(const CBackupOptions& o) {
    BackupFileViewText view;
    view.file_type = o.flag(kOptFileType) == 2 ? "PHP File" : "SQL File";
    const bool same_file = o.flag(kOptFileMode) == 1;
    view.backup_type = same_file ? "Backup to a same file each time" : "Backup to the new file(s) each time";
    if (same_file) {
        view.settings = "Backup to file:\r\n" + o.same_file_path;
    } else {
        view.settings = "Backup to folder:\r\n" + o.backup_directory;
        switch (o.flag(kOptGrouping)) {
            case 2:
                view.settings += "\r\n\r\nEvery file include a selected database\r\n\r\n";
                break;
            case 3:
                view.settings += "\r\n\r\nEvery file include a selected table\r\n\r\n";
                break;
            default:
                view.settings += "\r\n\r\nAll selected databases and tables in a file\r\n\r\n";
                break;
        }
        view.settings += "File Name Format:\r\n" + o.file_name_format;
        if (o.date_time_subdir) {
            view.settings +=
                "\r\n\r\nCreate a new subdirectory that named DATE_TIME each time for store the backup files";
        }
        if (o.retention_kind == 1) {
            view.settings +=
                "\r\n\r\nAuto delete this task's backup data older than " + std::to_string(o.retention_limit) + " days";
        } else if (o.retention_kind == 2) {
            view.settings += "\r\n\r\nAuto delete the oldest backup files when more than " +
                             std::to_string(o.retention_limit) + " backup copies";
        }
    }
    if (o.unix_newlines) view.settings += "\r\n\r\nUse the '\\n' instead of '\\r\\n' in the backup files";
    return view;
}

std::string bufferViewText(const CBufferOptions& options) {
    switch (options.mode) {
        case 1:
            return "Store " + std::to_string(options.records) +
                   " records in the buffer (Be applicable to the large database)";
        case 2:
            return "Store all records in the buffer (Be applicable to the small database)";
        default:
            return "None";
    }
}

std::string exportTypeViewText(uint8_t format) {
    switch (format) {
        case 1:
            return "CSV File  (Table Export)";
        case 2:
            return "XML File  (Table Export)";
        case 3:
            return "HTML File  (Table Export)";
        case 4:
            return "TEXT File  (Table Export)";
        default:
            return {};
    }
}

std::string restoreFileSizeText(int32_t size) {
    return std::to_string(size / 1024) + " KB";
}

std::string restoreFileTimeText(const CRestoreFile& f, const CSystemOptions& options) {
    return formatTaskTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.day_of_week, options.date_format,
                          options.time_format, true);
}

}  // namespace keelvault
