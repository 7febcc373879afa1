// JSON to task records: every field checked for its kind and its stored range.
#include <functional>
#include <limits>
#include <utility>

#include "cli/task_json.h"

namespace keelvault::cli {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

using FieldReader = std::function<bool(const Json&, const std::string&)>;
using Fields = std::vector<std::pair<const char*, FieldReader>>;

class Reader {
public:
    std::string error;

    bool fail(const std::string& path, const std::string& what) {
        error = "field \"" + path + "\": " + what;
        return false;
    }

    bool object(const Json& j, const std::string& path, const Fields& fields) {
        if (!j.is_object()) return fail(path.empty() ? "(task)" : path, "expected an object");
        for (auto it = j.begin(); it != j.end(); ++it) {
            const std::string child = path.empty() ? it.key() : path + "." + it.key();
            const FieldReader* reader = nullptr;
            for (const auto& field : fields) {
                if (it.key() == field.first) reader = &field.second;
            }
            if (reader == nullptr) return fail(child, "unknown field");
            if (!(*reader)(it.value(), child)) return false;
        }
        return true;
    }

    bool text(const Json& j, const std::string& path, std::string& out) {
        if (!j.is_string()) return fail(path, "expected a string");
        out = j.get<std::string>();
        return true;
    }

    template <typename T>
    bool number(const Json& j, const std::string& path, T& out, int64_t lo, int64_t hi) {
        if (!j.is_number_integer()) return fail(path, "expected a whole number");
        int64_t value = 0;
        bool fits = true;
        if (j.is_number_unsigned()) {
            const uint64_t u = j.get<uint64_t>();
            fits = u <= static_cast<uint64_t>(hi);
            value = fits ? static_cast<int64_t>(u) : 0;
        } else {
            value = j.get<int64_t>();
        }
        if (!fits || value < lo || value > hi) {
            return fail(path, "out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
        }
        out = static_cast<T>(value);
        return true;
    }

    bool int32(const Json& j, const std::string& path, int32_t& out) { return number(j, path, out, kInt32Min, kInt32Max); }
    bool byte(const Json& j, const std::string& path, uint8_t& out, int64_t lo = 0, int64_t hi = 255) {
        return number(j, path, out, lo, hi);
    }
    bool flag(const Json& j, const std::string& path, uint8_t& out) { return byte(j, path, out, 0, 1); }

    bool atomicByte(const Json& j, const std::string& path, std::atomic<uint8_t>& out, int64_t lo, int64_t hi) {
        uint8_t value = 0;
        if (!byte(j, path, value, lo, hi)) return false;
        out = value;
        return true;
    }

    bool code(const Json& j, const std::string& path, uint8_t& out, std::initializer_list<int> allowed) {
        uint8_t value = 0;
        if (!byte(j, path, value)) return false;
        for (int a : allowed) {
            if (a == value) {
                out = value;
                return true;
            }
        }
        std::string list;
        for (int a : allowed) list += (list.empty() ? "" : ", ") + std::to_string(a);
        return fail(path, "out of range (one of " + list + ")");
    }

    template <typename T, typename Element>
    bool list(const Json& j, const std::string& path, std::vector<T>& out, Element element) {
        if (!j.is_array()) return fail(path, "expected an array");
        std::vector<T> values(j.size());
        for (size_t i = 0; i < j.size(); ++i) {
            if (!element(j[i], path + "[" + std::to_string(i) + "]", values[i])) return false;
        }
        out = std::move(values);
        return true;
    }

    template <size_t N, typename Element>
    bool fixed(const Json& j, const std::string& path, std::array<uint8_t, N>& out, Element element) {
        if (!j.is_array() || j.size() != N) return fail(path, "expected an array of " + std::to_string(N) + " numbers");
        for (size_t i = 0; i < N; ++i) {
            if (!element(j[i], path + "[" + std::to_string(i) + "]", out[i], i)) return false;
        }
        return true;
    }

    bool time(const Json& j, const std::string& path, TaskTime& out) {
        if (!j.is_array() || j.size() != 7) {
            return fail(path, "expected [year, month, day, hour, minute, second, day of week]");
        }
        int32_t* parts[] = {&out.year, &out.month, &out.day, &out.hour, &out.minute, &out.second, &out.day_of_week};
        for (size_t i = 0; i < 7; ++i) {
            if (!int32(j[i], path + "[" + std::to_string(i) + "]", *parts[i])) return false;
        }
        return true;
    }

    bool table(const Json& j, const std::string& path, CTableItem& t) {
        return object(j, path,
                      {{"selected", [&](const Json& v, const std::string& p) { return byte(v, p, t.selected); }},
                       {"kind", [&](const Json& v, const std::string& p) { return byte(v, p, t.kind, 0, 2); }},
                       {"database", [&](const Json& v, const std::string& p) { return text(v, p, t.database); }},
                       {"table", [&](const Json& v, const std::string& p) { return text(v, p, t.table); }}});
    }

    bool tables(const Json& j, const std::string& path, std::vector<CTableItem>& out) {
        return list(j, path, out, [this](const Json& v, const std::string& p, CTableItem& t) { return table(v, p, t); });
    }

    bool texts(const Json& j, const std::string& path, std::vector<std::string>& out) {
        return list(j, path, out, [this](const Json& v, const std::string& p, std::string& t) { return text(v, p, t); });
    }

    bool server(const Json& j, const std::string& path, CServerSettings& s);
    bool task(const Json& j, CTask& t);
};

bool Reader::server(const Json& j, const std::string& path, CServerSettings& s) {
    auto txt = [this](std::string& out) {
        return [this, &out](const Json& v, const std::string& p) { return text(v, p, out); };
    };
    auto flg = [this](uint8_t& out) { return [this, &out](const Json& v, const std::string& p) { return flag(v, p, out); }; };
    return object(j, path,
                  {{"connection_name", txt(s.connection_name)},
                   {"host", txt(s.host)},
                   {"port", [&](const Json& v, const std::string& p) { return int32(v, p, s.port); }},
                   {"user", txt(s.user)},
                   {"password", txt(s.password)},
                   {"database", txt(s.database)},
                   {"comment", txt(s.comment)},
                   {"save_password", flg(s.save_password)},
                   {"use_compression", flg(s.use_compression)},
                   {"use_ssl", flg(s.use_ssl)},
                   {"reserved_flag_2", [&](const Json& v, const std::string& p) { return byte(v, p, s.reserved2); }}});
}

// The stored range of each backup option byte.
std::pair<int, int> backupFlagRange(size_t index) {
    switch (index) {
        case kOptReserved9: return {0, 255};
        case kOptFileType: return {1, 2};
        case kOptFileMode: return {1, 2};
        case kOptGrouping: return {1, 3};
        default: return {0, 1};
    }
}

bool Reader::task(const Json& j, CTask& t) {
    auto txt = [this](std::string& out) {
        return [this, &out](const Json& v, const std::string& p) { return text(v, p, out); };
    };
    auto i32 = [this](int32_t& out) { return [this, &out](const Json& v, const std::string& p) { return int32(v, p, out); }; };
    auto flg = [this](uint8_t& out) { return [this, &out](const Json& v, const std::string& p) { return flag(v, p, out); }; };
    auto tm = [this](TaskTime& out) { return [this, &out](const Json& v, const std::string& p) { return time(v, p, out); }; };
    auto flagArray = [this](const Json& v, const std::string& p, uint8_t& out, size_t) { return flag(v, p, out); };

    CExportOptions& e = t.export_options;
    CBackupOptions& b = t.backup_options;
    CSchedule& s = t.schedule;
    const Fields export_fields = {
        {"format", [&](const Json& v, const std::string& p) { return byte(v, p, e.format, 1, 4); }},
        {"directory", txt(e.directory)},
        {"fields_terminated_by", txt(e.fields_terminated_by)},
        {"fields_enclosed_by", txt(e.fields_enclosed_by)},
        {"fields_escaped_by", txt(e.fields_escaped_by)},
        {"lines_terminated_by", txt(e.lines_terminated_by)},
        {"column_names_on_top", flg(e.column_names_on_top)}};
    const Fields backup_fields = {
        {"flags",
         [&](const Json& v, const std::string& p) {
             return fixed(v, p, b.flags, [this](const Json& x, const std::string& q, uint8_t& out, size_t i) {
                 const auto [lo, hi] = backupFlagRange(i);
                 return byte(x, q, out, lo, hi);
             });
         }},
        {"same_file_path", txt(b.same_file_path)},
        {"backup_directory", txt(b.backup_directory)},
        {"file_name_format", txt(b.file_name_format)},
        {"retention_kind", [&](const Json& v, const std::string& p) { return byte(v, p, b.retention_kind, 0, 2); }},
        {"retention_limit", i32(b.retention_limit)},
        {"date_time_subdirectory", flg(b.date_time_subdir)},
        {"unix_newlines", flg(b.unix_newlines)},
        {"reserved_36", [&](const Json& v, const std::string& p) { return byte(v, p, b.reserved36); }},
        {"new_database", flg(b.new_database)},
        {"destination_database", txt(b.destination_database)},
        {"gzip", flg(b.gzip)},
        {"compression_level", [&](const Json& v, const std::string& p) { return number(v, p, b.compression_level, 0, 9); }}};
    const Fields schedule_fields = {
        {"kind", [&](const Json& v, const std::string& p) { return byte(v, p, s.kind, 0, 5); }},
        {"hour", [&](const Json& v, const std::string& p) { return number(v, p, s.hour, 0, 23); }},
        {"minute", [&](const Json& v, const std::string& p) { return number(v, p, s.minute, 0, 59); }},
        {"week_days", [&](const Json& v, const std::string& p) { return fixed(v, p, s.week_days, flagArray); }},
        {"month_days", [&](const Json& v, const std::string& p) { return fixed(v, p, s.month_days, flagArray); }},
        {"year", i32(s.year)},
        {"month", i32(s.month)},
        {"day", i32(s.day)},
        {"every_n_days", i32(s.every_n_days)},
        {"interval_minutes", i32(s.interval_minutes)}};

    const auto database = [&](const Json& v, const std::string& p, CDatabaseItem& d) {
        return object(v, p,
                      {{"selected", [&](const Json& x, const std::string& q) { return byte(x, q, d.selected, 0, 2); }},
                       {"name", txt(d.name)},
                       {"tables", [&](const Json& x, const std::string& q) { return tables(x, q, d.tables); }}});
    };
    const auto backup = [&](const Json& v, const std::string& p, CBackupRecord& r) {
        return object(v, p,
                      {{"year", i32(r.year)},
                       {"month", i32(r.month)},
                       {"day", i32(r.day)},
                       {"hour", i32(r.hour)},
                       {"minute", i32(r.minute)},
                       {"second", i32(r.second)},
                       {"file_mode", [&](const Json& x, const std::string& q) { return byte(x, q, r.file_mode, 0, 2); }},
                       {"file_type", [&](const Json& x, const std::string& q) { return byte(x, q, r.file_type, 0, 2); }},
                       {"reserved", [&](const Json& x, const std::string& q) { return byte(x, q, r.reserved); }},
                       {"subdirectory", txt(r.subdirectory)},
                       {"files", [&](const Json& x, const std::string& q) { return texts(x, q, r.files); }}});
    };
    const auto restore_file = [&](const Json& v, const std::string& p, CRestoreFile& f) {
        return object(v, p,
                      {{"kind", [&](const Json& x, const std::string& q) { return code(x, q, f.kind, {0, 1, 101}); }},
                       {"file_name", txt(f.file_name)},
                       {"full_path", txt(f.full_path)},
                       {"size", [&](const Json& x, const std::string& q) { return number(x, q, f.size, 0, kInt32Max); }},
                       {"year", i32(f.year)},
                       {"month", i32(f.month)},
                       {"day", i32(f.day)},
                       {"hour", i32(f.hour)},
                       {"minute", i32(f.minute)},
                       {"second", i32(f.second)},
                       {"day_of_week", i32(f.day_of_week)}});
    };

    return object(
        j, "",
        {{"ref_text", txt(t.ref_text)},
         {"run_now", [&](const Json& v, const std::string& p) { return atomicByte(v, p, t.run_now, 0, 1); }},
         {"name", txt(t.name)},
         {"comment", txt(t.comment)},
         {"task_type", [&](const Json& v, const std::string& p) { return byte(v, p, t.task_type, 1, 8); }},
         {"status",
          [&](const Json& v, const std::string& p) {
              uint8_t status = 0;
              if (!code(v, p, status, {kStatusWaiting, kStatusIdle, kStatusRunning, kStatusService})) return false;
              t.status = status;
              return true;
          }},
         {"created_at", tm(t.created_at)},
         {"started_at", tm(t.started_at)},
         {"last_run", tm(t.last_run)},
         {"next_run", tm(t.next_run)},
         {"log_name", txt(t.log_name)},
         {"source", [&](const Json& v, const std::string& p) { return server(v, p, t.source); }},
         {"destination", [&](const Json& v, const std::string& p) { return server(v, p, t.destination); }},
         {"export_options", [&](const Json& v, const std::string& p) { return object(v, p, export_fields); }},
         {"export_tables", [&](const Json& v, const std::string& p) { return tables(v, p, t.export_tables); }},
         {"backup_options", [&](const Json& v, const std::string& p) { return object(v, p, backup_fields); }},
         {"databases", [&](const Json& v, const std::string& p) { return list(v, p, t.databases, database); }},
         {"schedule", [&](const Json& v, const std::string& p) { return object(v, p, schedule_fields); }},
         {"script", [&](const Json& v, const std::string& p) { return texts(v, p, t.script); }},
         {"backups", [&](const Json& v, const std::string& p) { return list(v, p, t.backups, backup); }},
         {"restore_options",
          [&](const Json& v, const std::string& p) {
              return object(v, p,
                            {{"continue_on_sql_error", flg(t.restore_options.continue_on_sql_error)},
                             {"continue_on_file_error", flg(t.restore_options.continue_on_file_error)}});
          }},
         {"restore_files", [&](const Json& v, const std::string& p) { return list(v, p, t.restore_files, restore_file); }},
         {"buffer_options", [&](const Json& v, const std::string& p) {
              return object(v, p,
                            {{"mode", [&](const Json& x, const std::string& q) {
                                  return byte(x, q, t.buffer_options.mode, 0, 2);
                              }},
                             {"records", i32(t.buffer_options.records)}});
          }}});
}

}  // namespace

bool taskFromJson(const Json& json, CTask& task, std::string& error) {
    Reader reader;
    if (reader.task(json, task)) return true;
    error = reader.error;
    return false;
}

bool serverFromJson(const Json& json, CServerSettings& server, std::string& error) {
    Reader reader;
    if (reader.server(json, "", server)) return true;
    error = reader.error;
    return false;
}

}  // namespace keelvault::cli
