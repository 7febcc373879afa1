#include "core/engine/backup_digests.h"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "core/engine/dump_writer.h"
#include "core/platform/data_folder.h"

namespace keelvault {

namespace {

using Json = nlohmann::json;

constexpr const char* kFormat = "keelvault-backup-digests";
constexpr int kVersion = 1;
constexpr const char* kAlgorithm = "xxh3-64";

// "2006-05-01 09:05:07" back into a time; false when it is not one.
bool parseRunTime(const std::string& text, TaskTime& time) {
    return std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &time.year, &time.month, &time.day, &time.hour,
                       &time.minute, &time.second) == 6;
}

}  // namespace

std::string backupDigestsPath(const std::vector<std::string>& files) {
    if (files.empty() || files.front().empty()) return {};
    return files.front() + ".digests";
}

std::string backupDigestsPath(const CBackupRecord& record) { return backupDigestsPath(record.files); }

bool hasBackupDigests(const CBackupRecord& record) {
    const std::string path = backupDigestsPath(record);
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string backupDigestsJson(const BackupDigests& digests) {
    Json tables = Json::array();
    for (const TableDigestEntry& t : digests.tables) {
        tables.push_back({{"database", t.database},
                          {"table", t.table},
                          {"rows", t.rows},
                          {"digest", t.digest},
                          {"file", t.file},
                          {"charset", t.charset}});
    }
    const Json json = {{"format", kFormat},
                       {"version", kVersion},
                       {"algorithm", kAlgorithm},
                       {"task", digests.task},
                       {"run_time", dumpTimeText(digests.run_time)},
                       {"tables", tables}};
    // Names are stored as they are; bytes that are not UTF-8 must not stop the save.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<BackupDigests> parseBackupDigests(const std::string& text) {
    const Json json = Json::parse(text, nullptr, false);
    if (!json.is_object() || json.value("format", "") != kFormat || json.value("algorithm", "") != kAlgorithm)
        return std::nullopt;
    const auto tables = json.find("tables");
    if (tables == json.end() || !tables->is_array()) return std::nullopt;
    BackupDigests digests;
    try {
        digests.task = json.value("task", "");
        if (!parseRunTime(json.value("run_time", ""), digests.run_time)) return std::nullopt;
        for (const Json& t : *tables) {
            TableDigestEntry entry;
            entry.database = t.at("database").get<std::string>();
            entry.table = t.at("table").get<std::string>();
            entry.rows = t.at("rows").get<uint64_t>();
            entry.digest = t.at("digest").get<std::string>();
            entry.file = t.at("file").get<std::string>();
            entry.charset = t.value("charset", "");
            digests.tables.push_back(std::move(entry));
        }
    } catch (const Json::exception&) {
        return std::nullopt;
    }
    return digests;
}

bool saveBackupDigests(const std::string& path, const BackupDigests& digests) {
    return writeFileAtomically(path, backupDigestsJson(digests));
}

std::optional<BackupDigests> loadBackupDigests(const std::string& path) {
    std::string text;
    if (path.empty() || !readWholeFile(path, text)) return std::nullopt;
    return parseBackupDigests(text);
}

void removeBackupDigests(const CBackupRecord& record) {
    const std::string path = backupDigestsPath(record);
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

}  // namespace keelvault
