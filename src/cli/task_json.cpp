#include "cli/task_json.h"

namespace keelvault::cli {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t utf8SequenceLength(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid.
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

// Stored texts are bytes; JSON strings are UTF-8. A byte that starts no
// valid sequence becomes the character of its number, so nothing is lost
// from sight and the output is always valid JSON.
std::string jsonText(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8SequenceLength(s, i);
        if (n == 0) {
            const auto c = static_cast<unsigned char>(s[i]);
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

Json timeJson(const TaskTime& t) {
    return Json::array({t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week});
}

template <typename Container>
Json numbers(const Container& values) {
    Json out = Json::array();
    for (auto v : values) out.push_back(static_cast<int64_t>(v));
    return out;
}

Json tableJson(const CTableItem& t) {
    return Json{{"selected", t.selected}, {"kind", t.kind}, {"database", jsonText(t.database)},
                {"table", jsonText(t.table)}};
}

Json tablesJson(const std::vector<CTableItem>& tables) {
    Json out = Json::array();
    for (const CTableItem& t : tables) out.push_back(tableJson(t));
    return out;
}

Json textsJson(const std::vector<std::string>& texts) {
    Json out = Json::array();
    for (const std::string& t : texts) out.push_back(jsonText(t));
    return out;
}

}  // namespace

Json serverToJson(const CServerSettings& s) {
    return Json{{"connection_name", jsonText(s.connection_name)},
                {"host", jsonText(s.host)},
                {"port", s.port},
                {"user", jsonText(s.user)},
                {"password", jsonText(s.password)},
                {"database", jsonText(s.database)},
                {"comment", jsonText(s.comment)},
                {"save_password", s.save_password},
                {"use_compression", s.use_compression},
                {"use_ssl", s.use_ssl},
                {"reserved_flag_2", s.reserved2}};
}

Json taskToJson(const CTask& source) {
    const CTask task(source);  // one consistent copy of a live record
    Json j;
    j["ref_text"] = jsonText(task.ref_text);
    j["run_now"] = task.run_now.load();
    j["name"] = jsonText(task.name);
    j["comment"] = jsonText(task.comment);
    j["task_type"] = task.task_type;
    j["status"] = task.status.load();
    j["created_at"] = timeJson(task.created_at);
    j["started_at"] = timeJson(task.started_at);
    j["last_run"] = timeJson(task.last_run);
    j["next_run"] = timeJson(task.next_run);
    j["log_name"] = jsonText(task.log_name);
    j["source"] = serverToJson(task.source);
    j["destination"] = serverToJson(task.destination);

    const CExportOptions& e = task.export_options;
    j["export_options"] = Json{{"format", e.format},
                               {"directory", jsonText(e.directory)},
                               {"fields_terminated_by", jsonText(e.fields_terminated_by)},
                               {"fields_enclosed_by", jsonText(e.fields_enclosed_by)},
                               {"fields_escaped_by", jsonText(e.fields_escaped_by)},
                               {"lines_terminated_by", jsonText(e.lines_terminated_by)},
                               {"column_names_on_top", e.column_names_on_top}};
    j["export_tables"] = tablesJson(task.export_tables);

    const CBackupOptions& b = task.backup_options;
    j["backup_options"] = Json{{"flags", numbers(b.flags)},
                               {"same_file_path", jsonText(b.same_file_path)},
                               {"backup_directory", jsonText(b.backup_directory)},
                               {"file_name_format", jsonText(b.file_name_format)},
                               {"retention_kind", b.retention_kind},
                               {"retention_limit", b.retention_limit},
                               {"date_time_subdirectory", b.date_time_subdir},
                               {"unix_newlines", b.unix_newlines},
                               {"reserved_36", b.reserved36},
                               {"new_database", b.new_database},
                               {"destination_database", jsonText(b.destination_database)},
                               {"gzip", b.gzip},
                               {"compression_level", b.compression_level}};

    Json databases = Json::array();
    for (const CDatabaseItem& d : task.databases) {
        databases.push_back(Json{{"selected", d.selected}, {"name", jsonText(d.name)}, {"tables", tablesJson(d.tables)}});
    }
    j["databases"] = std::move(databases);

    const CSchedule& s = task.schedule;
    j["schedule"] = Json{{"kind", s.kind},
                         {"hour", s.hour},
                         {"minute", s.minute},
                         {"week_days", numbers(s.week_days)},
                         {"month_days", numbers(s.month_days)},
                         {"year", s.year},
                         {"month", s.month},
                         {"day", s.day},
                         {"every_n_days", s.every_n_days},
                         {"interval_minutes", s.interval_minutes}};
    j["script"] = textsJson(task.script);

    Json backups = Json::array();
    for (const CBackupRecord& r : task.backups) {
        backups.push_back(Json{{"year", r.year},
                               {"month", r.month},
                               {"day", r.day},
                               {"hour", r.hour},
                               {"minute", r.minute},
                               {"second", r.second},
                               {"file_mode", r.file_mode},
                               {"file_type", r.file_type},
                               {"reserved", r.reserved},
                               {"subdirectory", jsonText(r.subdirectory)},
                               {"files", textsJson(r.files)}});
    }
    j["backups"] = std::move(backups);

    j["restore_options"] = Json{{"continue_on_sql_error", task.restore_options.continue_on_sql_error},
                                {"continue_on_file_error", task.restore_options.continue_on_file_error}};
    Json files = Json::array();
    for (const CRestoreFile& f : task.restore_files) {
        files.push_back(Json{{"kind", f.kind},
                             {"file_name", jsonText(f.file_name)},
                             {"full_path", jsonText(f.full_path)},
                             {"size", f.size},
                             {"year", f.year},
                             {"month", f.month},
                             {"day", f.day},
                             {"hour", f.hour},
                             {"minute", f.minute},
                             {"second", f.second},
                             {"day_of_week", f.day_of_week}});
    }
    j["restore_files"] = std::move(files);
    j["buffer_options"] = Json{{"mode", task.buffer_options.mode}, {"records", task.buffer_options.records}};
    return j;
}

std::string printJson(const Json& value) { return value.dump(2) + "\n"; }

std::string taskListToJson(const CTaskList& list) {
    Json tasks = Json::array();
    for (int i = 0; i < list.count(); ++i) tasks.push_back(taskToJson(list.at(i)));
    return printJson(tasks);
}

bool parseJson(const std::string& text, Json& out, std::string& error) {
    try {
        out = Json::parse(text);
    } catch (const Json::parse_error& e) {
        error = std::string("bad JSON: ") + e.what();
        return false;
    }
    return true;
}

}  // namespace keelvault::cli
