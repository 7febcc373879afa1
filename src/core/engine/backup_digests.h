#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault {

// What one table's rows looked like as a backup run wrote them.
struct TableDigestEntry {
    std::string database;
    std::string table;
    uint64_t rows = 0;
    std::string digest;   // TableDigest::hex()
    std::string file;     // the backup file the rows went to (final path, after compression)
    std::string charset;  // the connection character set the values were read in

    bool operator==(const TableDigestEntry&) const = default;
};

// The digests of one backup run, kept in a small JSON file beside its
// backup files: "<first backup file>.digests".
struct BackupDigests {
    std::string task;
    TaskTime run_time;
    std::vector<TableDigestEntry> tables;

    bool operator==(const BackupDigests&) const = default;
};

// The side file of a backup record; empty when the record has no files.
std::string backupDigestsPath(const CBackupRecord& record);
std::string backupDigestsPath(const std::vector<std::string>& files);
bool hasBackupDigests(const CBackupRecord& record);

std::string backupDigestsJson(const BackupDigests& digests);
// Nothing when the text is not a digests file of ours.
std::optional<BackupDigests> parseBackupDigests(const std::string& text);

// Written whole or not at all.
bool saveBackupDigests(const std::string& path, const BackupDigests& digests);
std::optional<BackupDigests> loadBackupDigests(const std::string& path);
// Removes the record's side file, if it has one; a failure is ignored.
void removeBackupDigests(const CBackupRecord& record);

}  // namespace keelvault
