#include "core/editing/view_texts.h"

#include <gtest/gtest.h>

namespace keelvault {
namespace {

TEST(ViewTexts, ProtocolsAndItemTexts) {
    CServerSettings server;
    EXPECT_EQ(protocolsViewText(server), "None");
    server.use_ssl = 1;
    EXPECT_EQ(protocolsViewText(server), "Use SSL protocol");
    server.use_compression = 1;
    EXPECT_EQ(protocolsViewText(server), "Use compression protocol\r\nUse SSL protocol");
    server.use_ssl = 0;
    EXPECT_EQ(protocolsViewText(server), "Use compression protocol\r\n");

    EXPECT_EQ(tableItemText("actor", 1), "actor (Table)");
    EXPECT_EQ(tableItemText("actor_info", 2), "actor_info (View)");
    EXPECT_EQ(tableItemText("odd", 0), "odd");
}

TEST(ViewTexts, DayNames) {
    const std::pair<int, const char*> month_days[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},
                                                      {11, "11th"}, {12, "12th"}, {13, "13th"}, {21, "21st"},
                                                      {22, "22nd"}, {23, "23rd"}, {30, "30th"}, {31, "31st"}};
    for (const auto& [day, name] : month_days) EXPECT_EQ(monthDayName(day), name) << day;
    EXPECT_EQ(weekDayName(0), "Sunday");
    EXPECT_EQ(weekDayName(6), "Saturday");
}

TEST(ViewTexts, RunTimeInBothFormats) {
    struct Case {
        int hour, minute, format;
        const char* text;
    };
    for (const Case c : {Case{0, 0, 1, "00:00"}, Case{9, 5, 1, "09:05"}, Case{23, 59, 1, "23:59"},
                         Case{0, 0, 2, "00:00 A.M"}, Case{11, 59, 2, "11:59 A.M"}, Case{12, 30, 2, "00:30 P.M"},
                         Case{13, 5, 2, "01:05 P.M"}, Case{23, 10, 2, "11:10 P.M"}}) {
        EXPECT_EQ(runTimeText(c.hour, c.minute, c.format), c.text) << c.hour << ":" << c.minute;
    }
}

TEST(ViewTexts, ScheduleOfEveryKind) {
    CSystemOptions options;
    CSchedule s;
    EXPECT_EQ(scheduleViewText(s, options).kind, "Manual");
    EXPECT_EQ(scheduleViewText(s, options).settings, "None");

    s.kind = kScheduleEveryDay;
    s.hour = 2;
    s.minute = 30;
    EXPECT_EQ(scheduleViewText(s, options).settings, "Run Time: 02:30");

    s.kind = kScheduleEveryWeek;
    s.week_days = {1, 0, 0, 1, 0, 0, 1};
    EXPECT_EQ(scheduleViewText(s, options).kind, "Every Week");
    EXPECT_EQ(scheduleViewText(s, options).settings,
              "Run Time: 02:30\r\n\r\nDays of the week:\r\nSunday, Wednesday, Saturday");

    s.kind = kScheduleEveryMonth;
    s.month_days = {};
    s.month_days[0] = s.month_days[21] = s.month_days[30] = 1;
    options.time_format = 2;
    s.hour = 12;
    s.minute = 0;
    EXPECT_EQ(scheduleViewText(s, options).settings,
              "Run Time: 00:00 P.M\r\n\r\nDays of the month:\r\n1st, 22nd, 31st");

    s.kind = kScheduleSpecialDate;
    s.year = 2006;
    s.month = 1;
    s.day = 2;
    s.hour = 15;
    s.minute = 4;
    options.date_format = 3;
    EXPECT_EQ(scheduleViewText(s, options).settings, "Run Date and Time:\r\nMon, 2006-01-02 03:04 P.M");
    s.every_n_days = 3;
    EXPECT_EQ(scheduleViewText(s, options).settings,
              "Run Date and Time:\r\nMon, 2006-01-02 03:04 P.M\r\n\r\nRun the task every 3 day(s)");

    s.kind = kScheduleTimeInterval;
    s.interval_minutes = 45;
    EXPECT_EQ(scheduleViewText(s, options).kind, "Time Interval");
    EXPECT_EQ(scheduleViewText(s, options).settings, "Time Interval: 45 Minute(s)");

    s.kind = 9;
    EXPECT_EQ(scheduleViewText(s, options).kind, "None");
    EXPECT_EQ(scheduleViewText(s, options).settings, "None");
}

TEST(ViewTexts, BackupFileSettings) {
    CBackupOptions o;
    o.backup_directory = "/srv/backups/Nightly/";
    BackupFileViewText view = backupFileViewText(o);
    EXPECT_EQ(view.file_type, "SQL File");
    EXPECT_EQ(view.backup_type, "Backup to the new file(s) each time");
    EXPECT_EQ(view.settings,
              "Backup to folder:\r\n/srv/backups/Nightly/\r\n\r\nAll selected databases and tables in a file\r\n\r\n"
              "File Name Format:\r\n%HOST%_%DATE%_%TIME%");

    o.flags[kOptGrouping] = 3;
    o.file_name_format = "%TABLE%_%DATE%";
    o.date_time_subdir = 1;
    o.retention_kind = 2;
    o.retention_limit = 7;
    o.unix_newlines = 1;
    EXPECT_EQ(backupFileViewText(o).settings,
              "Backup to folder:\r\n/srv/backups/Nightly/\r\n\r\nEvery file include a selected table\r\n\r\n"
              "File Name Format:\r\n%TABLE%_%DATE%"
              "\r\n\r\nCreate a new subdirectory that named DATE_TIME each time for store the backup files"
              "\r\n\r\nAuto delete the oldest backup files when more than 7 backup copies"
              "\r\n\r\nUse the '\\n' instead of '\\r\\n' in the backup files");

    o.flags[kOptGrouping] = 2;
    o.retention_kind = 1;
    o.retention_limit = 30;
    o.date_time_subdir = 0;
    o.unix_newlines = 0;
    EXPECT_NE(backupFileViewText(o).settings.find("\r\n\r\nEvery file include a selected database\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(backupFileViewText(o).settings.find("\r\n\r\nAuto delete this task's backup data older than 30 days"),
              std::string::npos);

    // The same-file mode shows the file, and neither grouping nor retention.
    o.flags[kOptFileMode] = 1;
    o.flags[kOptFileType] = 2;
    o.same_file_path = "/srv/one.php";
    view = backupFileViewText(o);
    EXPECT_EQ(view.file_type, "PHP File");
    EXPECT_EQ(view.backup_type, "Backup to a same file each time");
    EXPECT_EQ(view.settings, "Backup to file:\r\n/srv/one.php");
}

TEST(ViewTexts, BufferExportAndRestoreRows) {
    EXPECT_EQ(bufferViewText(CBufferOptions{0, 200}), "None");
    EXPECT_EQ(bufferViewText(CBufferOptions{1, 500}),
              "Store 500 records in the buffer (Be applicable to the large database)");
    EXPECT_EQ(bufferViewText(CBufferOptions{2, 200}),
              "Store all records in the buffer (Be applicable to the small database)");

    EXPECT_EQ(exportTypeViewText(1), "CSV File  (Table Export)");
    EXPECT_EQ(exportTypeViewText(4), "TEXT File  (Table Export)");
    EXPECT_EQ(exportTypeViewText(7), "");

    EXPECT_EQ(restoreFileSizeText(0), "0 KB");
    EXPECT_EQ(restoreFileSizeText(1023), "0 KB");
    EXPECT_EQ(restoreFileSizeText(2048), "2 KB");
    CRestoreFile file;
    file.year = 2006;
    file.month = 1;
    file.day = 1;
    file.hour = 13;
    file.minute = 5;
    file.second = 9;
    file.day_of_week = 1;
    EXPECT_EQ(restoreFileTimeText(file, CSystemOptions{}), "Sun, Jan 01, 2006 13:05:09");
}

}  // namespace
}  // namespace keelvault
