#include "cli/task_json.h"

#include "cli/json_writer.h"

namespace keelvault::cli {

namespace {

void writeTime(JsonWriter& w, const char* key, const TaskTime& t) {
    w.key(key);
    w.beginArray();
    for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week}) w.value(int64_t{v});
    w.endArray();
}

template <typename Container>
void writeNumbers(JsonWriter& w, const char* key, const Container& values) {
    w.key(key);
    w.beginArray();
    for (auto v : values) w.value(static_cast<int64_t>(v));
    w.endArray();
}

void writeServer(JsonWriter& w, const char* key, const CServerSettings& s) {
    w.key(key);
    w.beginObject();
    w.field("connection_name", s.connection_name);
    w.field("host", s.host);
    w.field("port", int64_t{s.port});
    w.field("user", s.user);
    w.field("password", s.password);
    w.field("database", s.database);
    w.field("comment", s.comment);
    w.field("save_password", s.save_password);
    w.field("use_compression", s.use_compression);
    w.field("use_ssl", s.use_ssl);
    w.field("reserved_flag_2", s.reserved2);
    w.endObject();
}

void writeTable(JsonWriter& w, const CTableItem& t) {
    w.beginObject();
    w.field("selected", t.selected);
    w.field("kind", t.kind);
    w.field("database", t.database);
    w.field("table", t.table);
    w.endObject();
}

void writeTask(JsonWriter& w, const CTask& task) {
    w.beginObject();
    w.field("ref_text", task.ref_text);
    w.field("run_now", task.run_now.load());
    w.field("name", task.name);
    w.field("comment", task.comment);
    w.field("task_type", task.task_type);
    w.field("status", task.status.load());
    writeTime(w, "created_at", task.created_at);
    writeTime(w, "started_at", task.started_at);
    writeTime(w, "last_run", task.last_run);
    writeTime(w, "next_run", task.next_run);
    w.field("log_name", task.log_name);
    writeServer(w, "source", task.source);
    writeServer(w, "destination", task.destination);

    const CExportOptions& e = task.export_options;
    w.key("export_options");
    w.beginObject();
    w.field("format", e.format);
    w.field("directory", e.directory);
    w.field("fields_terminated_by", e.fields_terminated_by);
    w.field("fields_enclosed_by", e.fields_enclosed_by);
    w.field("fields_escaped_by", e.fields_escaped_by);
    w.field("lines_terminated_by", e.lines_terminated_by);
    w.field("column_names_on_top", e.column_names_on_top);
    w.endObject();

    w.key("export_tables");
    w.beginArray();
    for (const CTableItem& t : task.export_tables) writeTable(w, t);
    w.endArray();

    const CBackupOptions& b = task.backup_options;
    w.key("backup_options");
    w.beginObject();
    writeNumbers(w, "flags", b.flags);
    w.field("same_file_path", b.same_file_path);
    w.field("backup_directory", b.backup_directory);
    w.field("file_name_format", b.file_name_format);
    w.field("retention_kind", b.retention_kind);
    w.field("retention_limit", int64_t{b.retention_limit});
    w.field("date_time_subdirectory", b.date_time_subdir);
    w.field("unix_newlines", b.unix_newlines);
    w.field("reserved_36", b.reserved36);
    w.field("new_database", b.new_database);
    w.field("destination_database", b.destination_database);
    w.field("gzip", b.gzip);
    w.field("compression_level", int64_t{b.compression_level});
    w.endObject();

    w.key("databases");
    w.beginArray();
    for (const CDatabaseItem& d : task.databases) {
        w.beginObject();
        w.field("selected", d.selected);
        w.field("name", d.name);
        w.key("tables");
        w.beginArray();
        for (const CTableItem& t : d.tables) writeTable(w, t);
        w.endArray();
        w.endObject();
    }
    w.endArray();

    const CSchedule& s = task.schedule;
    w.key("schedule");
    w.beginObject();
    w.field("kind", s.kind);
    w.field("hour", int64_t{s.hour});
    w.field("minute", int64_t{s.minute});
    writeNumbers(w, "week_days", s.week_days);
    writeNumbers(w, "month_days", s.month_days);
    w.field("year", int64_t{s.year});
    w.field("month", int64_t{s.month});
    w.field("day", int64_t{s.day});
    w.field("every_n_days", int64_t{s.every_n_days});
    w.field("interval_minutes", int64_t{s.interval_minutes});
    w.endObject();

    w.key("script");
    w.beginArray();
    for (const std::string& statement : task.script) w.value(statement);
    w.endArray();

    w.key("backups");
    w.beginArray();
    for (const CBackupRecord& r : task.backups) {
        w.beginObject();
        w.field("year", int64_t{r.year});
        w.field("month", int64_t{r.month});
        w.field("day", int64_t{r.day});
        w.field("hour", int64_t{r.hour});
        w.field("minute", int64_t{r.minute});
        w.field("second", int64_t{r.second});
        w.field("file_mode", r.file_mode);
        w.field("file_type", r.file_type);
        w.field("reserved", r.reserved);
        w.field("subdirectory", r.subdirectory);
        w.key("files");
        w.beginArray();
        for (const std::string& f : r.files) w.value(f);
        w.endArray();
        w.endObject();
    }
    w.endArray();

    w.key("restore_options");
    w.beginObject();
    w.field("continue_on_sql_error", task.restore_options.continue_on_sql_error);
    w.field("continue_on_file_error", task.restore_options.continue_on_file_error);
    w.endObject();

    w.key("restore_files");
    w.beginArray();
    for (const CRestoreFile& f : task.restore_files) {
        w.beginObject();
        w.field("kind", f.kind);
        w.field("file_name", f.file_name);
        w.field("full_path", f.full_path);
        w.field("size", int64_t{f.size});
        w.field("year", int64_t{f.year});
        w.field("month", int64_t{f.month});
        w.field("day", int64_t{f.day});
        w.field("hour", int64_t{f.hour});
        w.field("minute", int64_t{f.minute});
        w.field("second", int64_t{f.second});
        w.field("day_of_week", int64_t{f.day_of_week});
        w.endObject();
    }
    w.endArray();

    w.key("buffer_options");
    w.beginObject();
    w.field("mode", task.buffer_options.mode);
    w.field("records", int64_t{task.buffer_options.records});
    w.endObject();

    w.endObject();
}

}  // namespace

std::string taskListToJson(const CTaskList& list) {
    JsonWriter w;
    w.beginArray();
    for (int i = 0; i < list.count(); ++i) writeTask(w, list.at(i));
    w.endArray();
    return w.text() + "\n";
}

}  // namespace keelvault::cli
